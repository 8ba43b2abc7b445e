// sbrep, the command-line companion of the DLL: checks an export against the
// filing client's table without changing anything, transfers it as a host's
// call of SetSBRepData would after backing the table up, puts a backup back,
// and calls the deployed DLL itself.
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/console.h"

namespace sbrep::cli {

enum ExitStatus : int {
  kExitReady = 0,    // check: ready to file; transfer, restore, call: done
  kExitFailed = 1,   // transfer or call: the call returned -1; restore: not confirmed
  kExitInstall = 2,  // check, restore: the install or a file is missing; call: no library
  kExitExport = 3,   // check: the export is at fault
  kExitTable = 4,    // check, restore: the table file is at fault
  kExitMachine = 5,  // check, restore: the machine is at fault
  kExitUsage = 64,   // unknown option, bad KIND
  kExitOutput = 74,  // the output or error stream could not be written
};

// Where the tool reads and writes: the report on `out`, diagnostics,
// progress and prompts on `err`, answers from `in`.
struct Console {
  std::ostream& out;
  std::ostream& err;
  std::istream& in;
  bool err_is_terminal = false;  // progress is shown on a terminal only
  bool in_is_terminal = false;   // a prompt's answer is echoed otherwise
  // Changes how redirected output is encoded (--encoding); may be empty.
  std::function<void(Encoding)> set_encoding;
};

// Runs the tool on the arguments after the program's name (UTF-8) and
// returns the exit status. Never throws.
int RunCli(const std::vector<std::string>& args, Console& console);

}  // namespace sbrep::cli
