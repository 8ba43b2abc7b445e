// sbrep, the command-line companion of the DLL: checks an export against the
// filing client's table without changing anything, transfers it as a host's
// call of SetSBRepData would after backing the table up, puts a backup back,
// and calls the deployed DLL itself.
#pragma once

#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/exit_status.h"

namespace sbrep::cli {

// Runs the tool on the arguments after the program's name (UTF-8) and
// returns the exit status. Never throws.
int RunCli(const std::vector<std::string>& args, Console& console);

}  // namespace sbrep::cli
