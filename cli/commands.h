// The commands beside check and transfer, each run from parsed arguments.
#pragma once

#include "cli/arguments.h"
#include "cli/sbrep_cli.h"

namespace sbrep::cli {

// sbrep restore [--list] [BACKUP]: the exit status.
int RunRestore(const Arguments& args, Console& console);

// sbrep call KIND EXPORT: the exit status.
int RunCall(const Arguments& args, Console& console);

// sbrep log [-n N] [--failed] [--json], or --off / --on: the exit status.
int RunLog(const Arguments& args, Console& console);

// sbrep --version: the tool's version and the library's beside it.
int RunVersion(const Arguments& args, Console& console);

// The backup folder: --backup-dir, or the platform's; throws BackupError
// when neither can be had.
std::string BackupFolder(const Arguments& args);

// The library `call` and `--version` look at: --dll, or the one beside the
// program.
std::string LibraryPath(const Arguments& args);

}  // namespace sbrep::cli
