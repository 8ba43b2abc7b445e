// The paths the tool works out: joined and trimmed as the folder spells
// them, and the backup folder and library a run uses.
#pragma once

#include <string>

#include "cli/arguments.h"

namespace sbrep::cli {

// `folder` and `name` with the separator the folder uses.
std::string JoinPath(const std::string& folder, const std::string& name);

// The path without the separators at its end; its first character stays.
std::string WithoutTrailingSeparators(std::string path);

// The folder that holds `path`, without a separator at its end.
std::string ParentFolder(const std::string& path);

// The backup folder: --backup-dir, or the platform's; throws BackupError
// when neither can be had.
std::string BackupFolder(const Arguments& args);

// The library `call` and `--version` look at: --dll, or the one beside the
// program.
std::string LibraryPath(const Arguments& args);

}  // namespace sbrep::cli
