#include "cli/help.h"

#include <vector>

#include "cli/arguments.h"
#include "cli/exit_status.h"

namespace sbrep::cli {
namespace {

struct HelpLine {
  const char* name;
  std::string text;  // '\n' where the text goes on under itself
};

// The operands and options of a command, their texts in one column.
std::string Options(const std::vector<HelpLine>& lines) {
  constexpr std::size_t kColumn = 20;
  std::string out;
  for (const HelpLine& line : lines) {
    std::string name = std::string("  ") + line.name;
    name += name.size() < kColumn ? std::string(kColumn - name.size(), ' ')
                                  : "\n" + std::string(kColumn, ' ');
    std::string text = line.text;
    for (auto at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
      text.insert(at + 1, kColumn, ' ');
    }
    out += name + text + "\n";
  }
  return out;
}

const HelpLine kExportLine = {"EXPORT", "the XML export file"};
const HelpLine kClientLine = {"--client DIR",
                              "take DIR as the install folder, the one that holds\n"
                              "Dexlan\\ICDAT, instead of the registry"};
const HelpLine kJsonLine = {"--json",
                            "print one JSON object instead of the report, whatever the\n"
                            "outcome: a usage error, Ctrl-C and --help give one too"};
const HelpLine kQuietLine = {"--quiet", "print the verdict line alone"};
const HelpLine kEncodingLine = {"--encoding utf-8",
                                "write UTF-8 with LF to a file or a pipe, instead of the\n"
                                "console's code page with CR LF (Windows)"};

// KIND and the names it takes.
HelpLine KindLine() { return {"KIND", KindChoices()}; }

std::string ToolHelp() {
  return "sbrep " SBREP_VERSION
         ": checks an accounting program's XML export against the filing\n"
         "client's table file, transfers it as a host's call of SetSBRepData does, and\n"
         "puts a table back from the backup taken before each transfer.\n"
         "\n"
         "Usage:\n"
         "  sbrep check KIND EXPORT [--client DIR] [--json | --quiet] [--strict]\n"
         "              [--backup-dir DIR]\n"
         "  sbrep transfer KIND EXPORT [--client DIR] [--json | --quiet] [--strict]\n"
         "                 [--backup-dir DIR]\n"
         "  sbrep restore [--list [--all] | BACKUP [--force]] [--client DIR]\n"
         "                [--backup-dir DIR] [--yes]\n"
         "  sbrep call KIND EXPORT [--dll PATH]\n"
         "  sbrep log [-n N] [--failed] [--json] | sbrep log --off | --on\n"
         "  sbrep help [COMMAND]\n"
         "  sbrep --version [--dll PATH]\n"
         "\n"
         "KIND is " +
         KindChoices() +
         ".\n"
         "Every command takes --encoding utf-8. sbrep help COMMAND shows a command's\n"
         "options and exit statuses; -h, -? and /? work as --help.\n"
         "\n"
         "Examples:\n"
         "  sbrep check balance-sheet export.xml\n"
         "  sbrep check 3 invoices.xml --client C:\\Dexlan-test\n"
         "  sbrep transfer vat-schedule-one invoices.xml\n"
         "  sbrep restore --list\n";
}

std::string CheckHelp() {
  return "Usage: sbrep check KIND EXPORT [--client DIR] [--json | --quiet] [--strict]\n"
         "                   [--backup-dir DIR]\n"
         "\n"
         "Runs everything a transfer runs except the save: prints the diff of the\n"
         "table file, a summary of the export and any warnings (an item whose own row\n"
         "number is not its row, a value with a comma or not a plain decimal amount, a\n"
         "company or period other than the table's), then whether a transfer would\n"
         "succeed: that the table can be written, what the save will do in its folder,\n"
         "and that the backup folder can be. It changes nothing, except that it\n"
         "completes the roll-back of a save that was interrupted (a journal beside the\n"
         "table), as any transfer would first.\n"
         "\n" +
         Options({KindLine(),
                  kExportLine,
                  kClientLine,
                  kJsonLine,
                  kQuietLine,
                  {"--strict", "a warning fails the check, with exit status 3"},
                  {"--backup-dir DIR", "check DIR as the backup folder a transfer would use"},
                  kEncodingLine}) +
         "\n" + ExitStatusHelp(Command::kCheck) +
         "\n"
         "Examples:\n"
         "  sbrep check balance-sheet export.xml\n"
         "  sbrep check 3 invoices.xml --client C:\\Dexlan-test --json\n";
}

std::string TransferHelp() {
  return "Usage: sbrep transfer KIND EXPORT [--client DIR] [--json | --quiet] [--strict]\n"
         "                      [--backup-dir DIR]\n"
         "\n"
         "Does what a host's call of SetSBRepData does, with the same checks, result\n"
         "and file effects, after copying the table it replaces into the backup\n"
         "folder (the last 50 of each table are kept; sbrep restore puts one back).\n"
         "A failed backup stops the transfer before anything is written.\n"
         "\n" +
         Options({KindLine(),
                  kExportLine,
                  kClientLine,
                  kJsonLine,
                  kQuietLine,
                  {"--strict", "a warning stops the transfer before anything is written"},
                  {"--backup-dir DIR", "keep the backups in DIR"},
                  kEncodingLine}) +
         "\n"
         "Backups go to %LOCALAPPDATA%\\sbrep\\backups on Windows and to\n"
         "$XDG_STATE_HOME/sbrep/backups (~/.local/state/sbrep/backups) elsewhere.\n"
         "\n" +
         ExitStatusHelp(Command::kTransfer) +
         "\n"
         "Examples:\n"
         "  sbrep transfer vat-schedule-one invoices.xml\n"
         "  sbrep transfer 1 export.xml --client C:\\Dexlan-test --json\n";
}

std::string RestoreHelp() {
  return "Usage: sbrep restore [--list [--all] | BACKUP [--force]] [--client DIR]\n"
         "                     [--backup-dir DIR] [--yes]\n"
         "\n"
         "Lists the backups that transfers took, newest first, or puts one back: it\n"
         "checks the backup against its sidecar and its content against the table,\n"
         "prints the diff from the table as it is to the backup, asks before it writes\n"
         "(unless --yes), backs the table up as it is, and saves the backup over it as\n"
         "a transfer saves. A backup goes back only into the install it came from.\n"
         "\n" +
         Options({{"BACKUP", "a backup's name as --list prints it, or its path"},
                  {"--list", "list the backups (also without BACKUP)"},
                  {"--all", "with --list, also the files that are no backups, and why"},
                  {"--force", "restore a backup without a sidecar (of 1.1.0) by its path"},
                  kClientLine,
                  {"--backup-dir DIR", "the backups are in DIR"},
                  {"--yes, -y", "do not ask"},
                  kEncodingLine}) +
         "\n" + ExitStatusHelp(Command::kRestore) +
         "\n"
         "Examples:\n"
         "  sbrep restore --list\n"
         "  sbrep restore TABLE08_C-Dexlan_3f2a9c1b_000042.dat\n";
}

std::string CallHelp() {
  return "Usage: sbrep call KIND EXPORT [--dll PATH]\n"
         "\n"
         "Loads the deployed library beside this program (sbrep.dll on Windows), or\n"
         "PATH, calls its SetSBRepData exactly as a host does, and prints the result,\n"
         "the message bytes and their text. No backup is taken.\n"
         "\n" +
         Options({KindLine(),
                  {"EXPORT", "the XML export file, passed in the ANSI code page"},
                  {"--dll PATH", "load this library instead"},
                  kEncodingLine}) +
         "\n" + ExitStatusHelp(Command::kCall) +
         "\n"
         "Example:\n"
         "  sbrep call 1 export.xml\n";
}

std::string LogHelp() {
  return "Usage: sbrep log [-n N] [--failed] [--json]\n"
         "       sbrep log --off | --on\n"
         "\n"
         "Prints the last calls of the library (and of sbrep transfer and call) from\n"
         "the call log, oldest first: time, program, kind, result and message, and\n"
         "the detail of a failure on a second line. A line that cannot be read is\n"
         "named and skipped.\n"
         "\n" +
         Options({{"-n N", "the last N calls (20 if not given)"},
                  {"--failed", "failed calls only"},
                  {"--json", "the lines as the log keeps them"},
                  {"--off, --on",
                   "set the value Log under HKEY_CURRENT_USER\\Software\\sbrep\n"
                   "that turns the log off (0) or on (1)"},
                  kEncodingLine}) +
         "\n"
         "The log is %LOCALAPPDATA%\\sbrep\\calls.log on Windows and\n"
         "$XDG_STATE_HOME/sbrep/calls.log (~/.local/state/sbrep/calls.log) elsewhere;\n"
         "past 1 MiB it becomes calls.1.log. SBREP_LOG=0 in the environment turns it\n"
         "off too.\n"
         "\n" +
         ExitStatusHelp(Command::kLog) +
         "\n"
         "Examples:\n"
         "  sbrep log --failed -n 5\n"
         "  sbrep log --off\n";
}

}  // namespace

std::string HelpText(Command command) {
  switch (command) {
    case Command::kNone:
      return ToolHelp();
    case Command::kCheck:
      return CheckHelp();
    case Command::kTransfer:
      return TransferHelp();
    case Command::kRestore:
      return RestoreHelp();
    case Command::kCall:
      return CallHelp();
    case Command::kLog:
      return LogHelp();
  }
  return {};
}

}  // namespace sbrep::cli
