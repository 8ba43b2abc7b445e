// Where the tool finds things on this platform: its own program file, the
// library a host loads beside it, and its backup folder.
#pragma once

#include <optional>
#include <string>

namespace sbrep::cli {

// The full path of the running program (UTF-8); empty when it cannot be had.
std::string ProgramPath();

// The file name of the library a host loads: sbrep.dll, or libsbrep.so.
const char* LibraryFileName();

// %LOCALAPPDATA%\sbrep\backups on Windows; $XDG_STATE_HOME/sbrep/backups,
// or ~/.local/state/sbrep/backups, elsewhere. Nothing when the variables
// that name them are unset.
std::optional<std::string> DefaultBackupFolder();

// The local time now as "20240315-143012-123", which sorts as it happened.
std::string LocalTimeStamp();

}  // namespace sbrep::cli
