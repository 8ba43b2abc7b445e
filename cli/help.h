// What `sbrep --help` and `sbrep help COMMAND` print.
#pragma once

#include <string>

#include "cli/command.h"

namespace sbrep::cli {

// The help of a command, or of the tool for Command::kNone.
std::string HelpText(Command command);

}  // namespace sbrep::cli
