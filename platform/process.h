// The process seam: who is calling and when, for the call log.
#pragma once

#include <optional>
#include <string>

namespace sbrep::process {

// The environment variable `name` as UTF-8; nothing when it is unset or empty.
std::optional<std::string> Environment(const char* name);

unsigned long Id();

// The full path of the running program (UTF-8); empty when it cannot be had.
std::string ProgramPath();

// Where a program keeps the user's own state: a profile folder, which
// exists or not, and the folders below it that may be created ('/'
// between them): %LOCALAPPDATA% and sbrep on Windows; elsewhere the folder
// above $XDG_STATE_HOME and the rest of it with sbrep, or ~ and
// .local/state/sbrep. Nothing when the variables that name the profile are
// unset.
struct StatePlace {
  std::string root;
  std::string below;
};
std::optional<StatePlace> UserStatePlace();

// The local time now, to the millisecond, with its offset from UTC:
// "2024-03-15T14:30:12.123+08:00".
std::string LocalTimeNow();

}  // namespace sbrep::process
