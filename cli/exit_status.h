// The tool's exit statuses and what each means for each command: one table,
// from which every command's help shows its own.
#pragma once

#include <string>
#include <vector>

#include "cli/command.h"

namespace sbrep::cli {

enum ExitStatus : int {
  kExitReady = 0,
  kExitFailed = 1,
  kExitInstall = 2,
  kExitExport = 3,
  kExitTable = 4,
  kExitMachine = 5,
  kExitUsage = 64,
  kExitOutput = 74,
  kExitInterrupted = 130,
};

// One exit status and its meaning for each command, as the help says it;
// '\n' where the text goes on under itself.
struct ExitStatusEntry {
  ExitStatus status;
  const char* name;  // what it stands for in a word
  const char* check;
  const char* transfer;
  const char* restore;
  const char* call;
  const char* log;
};

// Every exit status, in order.
const std::vector<ExitStatusEntry>& ExitStatuses();

// What `status` means for `command`; nullptr where the command never ends
// with it.
const char* ExitMeaning(const ExitStatusEntry& entry, Command command);

// A command's "Exit status:" section of its help, ending in a line break.
std::string ExitStatusHelp(Command command);

}  // namespace sbrep::cli
