// The tool's commands, each run from parsed arguments. A command gives its
// exit status, or throws a Refusal for the dispatcher to tell.
#pragma once

#include "cli/arguments.h"
#include "cli/console.h"

namespace sbrep::cli {

// sbrep check KIND EXPORT: never refuses; its report tells what it found.
int RunCheck(const Arguments& args, Console& console);

// sbrep transfer KIND EXPORT: never refuses; its report tells what it did.
int RunTransfer(const Arguments& args, Console& console);

// sbrep restore [--list] [BACKUP].
int RunRestore(const Arguments& args, Console& console);

// sbrep call KIND EXPORT.
int RunCall(const Arguments& args, Console& console);

// sbrep log [-n N] [--failed] [--json], or --off / --on.
int RunLog(const Arguments& args, Console& console);

// sbrep --version: the tool's version and the library's beside it.
int RunVersion(const Arguments& args, Console& console);

}  // namespace sbrep::cli
