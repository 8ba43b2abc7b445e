// The tool's command line: which command, its operands and its options.
// Mistakes are told in one line that says what was wrong and, where a near
// word exists, which one was meant.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/console.h"
#include "transfer/table_kinds.h"

namespace sbrep::cli {

struct Arguments {
  Command command = Command::kNone;
  bool help = false;     // --help, -h, -?, /? or `help COMMAND`
  bool version = false;  // --version or -V, before any command
  const KindEntry* kind = nullptr;
  std::string export_path;
  std::string backup;  // restore's operand
  std::optional<std::string> client;
  std::optional<std::string> backup_dir;
  std::optional<std::string> dll;
  bool json = false;
  bool quiet = false;
  bool strict = false;
  bool list = false;
  bool all = false;    // restore --list --all: the files that are no backups too
  bool force = false;  // restore of a backup without a sidecar, by its path
  bool yes = false;
  std::size_t count = 20;          // log -n
  bool failed_only = false;        // log --failed
  std::optional<bool> log_switch;  // log --on (true) or --off (false)
  OutputEncoding encoding = OutputEncoding::kAuto;
};

// The arguments after the program's name; a mistake throws a Refusal with
// kExitUsage, whose what() is the line the tool prints.
Arguments ParseArguments(const std::vector<std::string>& args);

// Refuses a --client DIR that cannot be an install folder: empty text, or
// the Dexlan or ICDAT folder below one (a common slip), with a Refusal of
// kExitUsage that says which folder to give.
void CheckClientFolder(const std::string& folder);

// Whether --json is among the options, so that even a usage error can be
// told as the JSON a script reads.
bool AsksForJson(const std::vector<std::string>& args);

// "1, 2, 3, balance-sheet, income-statement or vat-schedule-one".
std::string KindChoices();

}  // namespace sbrep::cli
