// The tool's commands by name.
#pragma once

namespace sbrep::cli {

enum class Command { kNone, kCheck, kTransfer, kRestore, kCall, kLog };

// "check", "transfer", "restore", "call", or "sbrep" for none.
const char* CommandName(Command command);

}  // namespace sbrep::cli
