// The tool's command line: which command, its operands and its options, and
// the help of each command. Mistakes are told in one line that says what was
// wrong and, where a near word exists, which one was meant.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/console.h"
#include "transfer/table_kinds.h"

namespace sbrep::cli {

enum class Command { kNone, kCheck, kTransfer, kRestore, kCall, kLog };

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
  Encoding encoding = Encoding::kAuto;
};

// A mistake on the command line; what() is the line the tool prints.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  Command command = Command::kNone;  // as far as the arguments told it
};

// The arguments after the program's name; throws UsageError.
Arguments ParseArguments(const std::vector<std::string>& args);

// Whether --json is among the options, so that even a usage error can be
// told as the JSON a script reads.
bool AsksForJson(const std::vector<std::string>& args);

// "check", "transfer", "restore", "call", or "sbrep" for none.
const char* CommandName(Command command);

// The help of a command, or of the tool for Command::kNone.
std::string HelpText(Command command);

// "1, 2, 3, balance-sheet, income-statement or vat-schedule-one".
std::string KindChoices();

// The candidate nearest to `word` when it is close enough to be a slip of
// the keyboard or of the shift key; empty otherwise.
std::string NearestWord(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace sbrep::cli
