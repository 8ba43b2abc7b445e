// sbrep, the command-line companion of the DLL: checks an export against the
// filing client's table without changing anything, or transfers it exactly
// as a host's call of SetSBRepData would.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace sbrep::cli {

enum ExitStatus : int {
  kExitReady = 0,    // check: ready to file; transfer: done
  kExitFailed = 1,   // transfer: the call returned -1
  kExitInstall = 2,  // check: the install or a file is missing
  kExitExport = 3,   // check: the export is at fault
  kExitTable = 4,    // check: the table file is at fault
  kExitMachine = 5,  // check: the machine is at fault
  kExitUsage = 64,   // unknown option, bad KIND
};

// Runs the tool on the arguments after the program's name (UTF-8). Writes
// UTF-8 text to `out` and `err` and returns the exit status. Never throws.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace sbrep::cli
