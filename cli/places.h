// Where the tool finds things on this platform: its own program file, the
// library a host loads beside it, its backup folder, and what a folder is
// however it is spelled.
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

// The time now in UTC as "2024-03-15T14:30:12Z". Only shown: nothing is
// ordered by it, since a clock can be set back.
std::string UtcTimeStamp();

// The folder's one full path, however it is spelled: the final path of the
// opened folder on Windows (drive aliases, "\\?\", "." and "..", and case
// resolved), realpath elsewhere. Nothing when it cannot be opened.
std::optional<std::string> ResolvedFolder(const std::string& folder);

}  // namespace sbrep::cli
