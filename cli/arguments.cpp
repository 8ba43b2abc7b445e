#include "cli/arguments.h"

#include <algorithm>
#include <cctype>

#include "core/text.h"

namespace sbrep::cli {
namespace {

struct CommandWord {
  Command command;
  const char* name;
};

constexpr CommandWord kCommands[] = {
    {Command::kCheck, "check"}, {Command::kTransfer, "transfer"}, {Command::kRestore, "restore"},
    {Command::kCall, "call"},   {Command::kLog, "log"},
};

// Which commands an option goes with.
enum : unsigned {
  kTop = 1u << 0,  // before any command
  kCheck = 1u << 1,
  kTransfer = 1u << 2,
  kRestore = 1u << 3,
  kCall = 1u << 4,
  kLog = 1u << 5,
  kEvery = kTop | kCheck | kTransfer | kRestore | kCall | kLog,
};

enum class Option {
  kFlag,  // sets `flag`
  kClient,
  kBackupDir,
  kDll,
  kEncoding,
  kCount,
  kLogSwitch,
};

struct OptionRule {
  Option option;
  const char* name;
  const char* value;  // the value's name, or nullptr for a flag
  unsigned commands;
  bool Arguments::*flag;
};

constexpr OptionRule kOptions[] = {
    {Option::kClient, "--client", "DIR", kCheck | kTransfer | kRestore, nullptr},
    {Option::kBackupDir, "--backup-dir", "DIR", kCheck | kTransfer | kRestore, nullptr},
    {Option::kDll, "--dll", "PATH", kTop | kCall, nullptr},
    {Option::kEncoding, "--encoding", "ENCODING", kEvery, nullptr},
    {Option::kFlag, "--json", nullptr, kCheck | kTransfer | kLog, &Arguments::json},
    {Option::kFlag, "--quiet", nullptr, kCheck | kTransfer, &Arguments::quiet},
    {Option::kFlag, "--strict", nullptr, kCheck | kTransfer, &Arguments::strict},
    {Option::kFlag, "--list", nullptr, kRestore, &Arguments::list},
    {Option::kFlag, "--all", nullptr, kRestore, &Arguments::all},
    {Option::kFlag, "--force", nullptr, kRestore, &Arguments::force},
    {Option::kFlag, "--yes", nullptr, kRestore, &Arguments::yes},
    {Option::kFlag, "-y", nullptr, kRestore, &Arguments::yes},
    {Option::kCount, "-n", "N", kLog, nullptr},
    {Option::kFlag, "--failed", nullptr, kLog, &Arguments::failed_only},
    {Option::kLogSwitch, "--off", nullptr, kLog, nullptr},
    {Option::kLogSwitch, "--on", nullptr, kLog, nullptr},
    {Option::kFlag, "--version", nullptr, kTop, &Arguments::version},
    {Option::kFlag, "-V", nullptr, kTop, &Arguments::version},
};

unsigned Bit(Command command) {
  switch (command) {
    case Command::kNone:
      return kTop;
    case Command::kCheck:
      return kCheck;
    case Command::kTransfer:
      return kTransfer;
    case Command::kRestore:
      return kRestore;
    case Command::kCall:
      return kCall;
    case Command::kLog:
      return kLog;
  }
  return kTop;
}

const char* NameOf(Command command) { return CommandName(command); }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Edits between two words, a swap of neighbours counting as one.
std::size_t Distance(const std::string& a, const std::string& b) {
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[n][m];
}

[[noreturn]] void Fail(const std::string& text) { throw UsageError(text); }

// "; did you mean 'check'?" or nothing.
std::string Suggestion(const std::string& word, const std::vector<std::string>& candidates) {
  const std::string nearest = NearestWord(word, candidates);
  return nearest.empty() ? std::string() : "; did you mean '" + nearest + "'?";
}

const KindEntry& KindOf(const std::string& text) {
  std::vector<std::string> names;
  for (const KindEntry& entry : kTableKinds) {
    if (text == std::to_string(static_cast<int>(entry.kind)) || text == entry.cli_name) {
      return entry;
    }
    names.emplace_back(entry.cli_name);
  }
  Fail("KIND must be " + KindChoices() + ", not '" + text + "'" + Suggestion(text, names));
}

Command CommandOf(const std::string& word) {
  std::vector<std::string> names;
  for (const CommandWord& c : kCommands) {
    if (word == c.name) return c.command;
    names.emplace_back(c.name);
  }
  if (word == "version") Fail("unknown command 'version'; did you mean '--version'?");
  const std::string suggestion = Suggestion(word, names);
  Fail("unknown command '" + word + "'" +
       (suggestion.empty() ? "; the commands are check, transfer, restore, call and log"
                           : suggestion));
}

Encoding EncodingOf(const std::string& text) {
  const std::string name = Lower(text);
  if (name == "utf-8" || name == "utf8") return Encoding::kUtf8;
  if (name == "auto") return Encoding::kAuto;
  Fail("--encoding takes utf-8 or auto, not '" + text + "'");
}

const OptionRule& OptionOf(const std::string& name, Command command) {
  std::vector<std::string> names;
  const OptionRule* elsewhere = nullptr;
  for (const OptionRule& rule : kOptions) {
    const bool here = (rule.commands & Bit(command)) != 0;
    if (name == rule.name) {
      if (here) return rule;
      elsewhere = &rule;
    }
    if (here) names.emplace_back(rule.name);
  }
  names.emplace_back("--help");
  const std::string where = command == Command::kNone ? std::string("before a command")
                                                      : std::string("with ") + NameOf(command);
  if (elsewhere != nullptr) {
    Fail("option " + name + " does not go " + where + "; sbrep help" +
         (command == Command::kNone ? std::string() : std::string(" ") + NameOf(command)) +
         " shows the options");
  }
  const std::string suggestion = Suggestion(name, names);
  Fail("unknown option '" + name + "'" +
       (suggestion.empty()
            ? "; sbrep help" +
                  (command == Command::kNone ? std::string() : std::string(" ") + NameOf(command)) +
                  " shows the options"
            : suggestion));
}

// "-1" is a KIND to be refused as such, not an option.
bool IsNumber(const std::string& arg) {
  return arg.find_first_not_of("0123456789", 1) == std::string::npos;
}

bool IsHelp(const std::string& arg) {
  return arg == "--help" || arg == "-h" || arg == "-?" || arg == "/?";
}

// A value given twice is a slip of a script or of the keyboard: which one
// was meant cannot be told.
void Once(const OptionRule& rule, bool given) {
  if (given) Fail(std::string("option ") + rule.name + " is given twice; give it once");
}

void Apply(const OptionRule& rule, const std::string& value, bool* encoding_given, Arguments* out) {
  switch (rule.option) {
    case Option::kCount:
      if (value.empty() || value.size() > 6 ||
          value.find_first_not_of("0123456789") != std::string::npos || std::stoul(value) == 0) {
        Fail("-n takes a number of calls from 1 to 999999, not '" + value + "'");
      }
      out->count = std::stoul(value);
      break;
    case Option::kLogSwitch: {
      const bool on = std::string(rule.name) == "--on";
      if (out->log_switch && *out->log_switch != on) Fail("--off and --on do not go together");
      out->log_switch = on;
      break;
    }
    case Option::kFlag:
      out->*rule.flag = true;
      break;
    case Option::kClient:
      Once(rule, out->client.has_value());
      out->client = value;
      break;
    case Option::kBackupDir:
      Once(rule, out->backup_dir.has_value());
      // Blanks alone would make a folder named by them.
      if (TrimBlanks(value).empty()) Fail("--backup-dir takes a folder, not empty text");
      out->backup_dir = value;
      break;
    case Option::kDll:
      Once(rule, out->dll.has_value());
      if (TrimBlanks(value).empty()) Fail("--dll needs the path of the library, not empty text");
      out->dll = value;
      break;
    case Option::kEncoding:
      Once(rule, *encoding_given);
      *encoding_given = true;
      out->encoding = EncodingOf(value);
      break;
  }
}

// The operands a command takes, in order.
std::vector<const char*> OperandsOf(Command command) {
  switch (command) {
    case Command::kCheck:
    case Command::kTransfer:
    case Command::kCall:
      return {"KIND", "EXPORT"};
    case Command::kRestore:
      return {"BACKUP"};
    case Command::kLog:
    case Command::kNone:
      break;
  }
  return {};
}

void TakeOperands(const std::vector<std::string>& operands, Arguments* out) {
  const std::vector<const char*> names = OperandsOf(out->command);
  if (out->command == Command::kLog) {
    if (!operands.empty()) Fail("log takes no operand; '" + operands[0] + "' is one too many");
    if (out->log_switch && (out->json || out->failed_only)) {
      Fail(std::string(*out->log_switch ? "--on" : "--off") + " goes alone with log");
    }
    return;
  }
  if (operands.size() > names.size()) {
    Fail(std::string(NameOf(out->command)) + " takes " +
         (names.size() == 1 ? "one BACKUP" : "KIND and EXPORT") + "; '" + operands[names.size()] +
         "' is one too many");
  }
  if (out->command == Command::kRestore) {
    if (!operands.empty()) out->backup = operands[0];
    if (out->list && !out->backup.empty()) Fail("restore --list takes no BACKUP");
    if (out->all && !out->backup.empty()) Fail("restore --all goes with --list, not a BACKUP");
    if (out->force && out->backup.empty()) Fail("restore --force needs a BACKUP's path");
    return;
  }
  if (operands.size() < names.size()) {
    Fail(std::string(NameOf(out->command)) + " needs " + names[operands.size()] +
         (operands.empty() ? " and EXPORT" : ""));
  }
  out->kind = &KindOf(operands[0]);
  out->export_path = operands[1];
}

// Fills `out` as far as the arguments go; throws UsageError.
void ParseInto(const std::vector<std::string>& args, Arguments* into);

}  // namespace

std::string KindChoices() {
  std::string numbers;
  std::string names;
  for (const KindEntry& entry : kTableKinds) {
    numbers += std::to_string(static_cast<int>(entry.kind)) + ", ";
    names += (names.empty()                   ? ""
              : &entry == &kTableKinds.back() ? " or "
                                              : ", ") +
             std::string(entry.cli_name);
  }
  return numbers + names;
}

const char* CommandName(Command command) {
  for (const CommandWord& c : kCommands) {
    if (c.command == command) return c.name;
  }
  return "sbrep";
}

std::string NearestWord(const std::string& word, const std::vector<std::string>& candidates) {
  std::string best;
  std::size_t best_distance = 3;  // two slips at the most
  for (const std::string& candidate : candidates) {
    const std::size_t distance = Distance(Lower(word), Lower(candidate));
    if (distance < best_distance && distance < candidate.size()) {
      best = candidate;
      best_distance = distance;
    }
  }
  return best;
}

Arguments ParseArguments(const std::vector<std::string>& args) {
  Arguments out;
  try {
    ParseInto(args, &out);
  } catch (UsageError& e) {
    e.command = out.command;
    throw;
  }
  return out;
}

bool AsksForJson(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--json") return true;
  }
  return false;
}

namespace {

void ParseInto(const std::vector<std::string>& args, Arguments* into) {
  Arguments& out = *into;
  std::vector<std::string> operands;
  bool options_ended = false;
  bool help_word = false;
  bool encoding_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options_ended && IsHelp(arg)) {
      out.help = true;
      continue;
    }
    if (!options_ended && arg == "--") {
      options_ended = true;
      continue;
    }
    if (!options_ended && arg.size() > 1 && arg[0] == '-' && !IsNumber(arg)) {
      const auto equals = arg.find('=');
      const std::string name = arg.substr(0, equals);
      const OptionRule& rule = OptionOf(name, out.command);
      std::string value;
      if (rule.value == nullptr) {
        if (equals != std::string::npos) Fail("option " + name + " takes no value");
      } else if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        Fail("option " + name + " needs " + rule.value);
      }
      Apply(rule, value, &encoding_given, &out);
      continue;
    }
    if (out.command == Command::kNone) {
      if (arg == "help" && !help_word) {
        help_word = true;
        out.help = true;
        continue;
      }
      out.command = CommandOf(arg);
      continue;
    }
    if (help_word) Fail("help takes one command at the most, not '" + arg + "'");
    operands.push_back(arg);
  }
  if (out.help) return;
  if (out.version) {
    if (out.command != Command::kNone) Fail("--version goes before any command");
    return;
  }
  if (out.command == Command::kNone) {
    Fail(
        "a command is needed: check, transfer, restore, call or log; sbrep --help shows the usage");
  }
  if (out.json && out.quiet) Fail("--json and --quiet do not go together");
  TakeOperands(operands, &out);
}

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

const HelpLine kKindLine = {"KIND", ""};
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

}  // namespace

std::string HelpText(Command command) {
  HelpLine kind = kKindLine;
  kind.text = KindChoices();
  switch (command) {
    case Command::kNone:
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
             kind.text +
             ".\n"
             "Every command takes --encoding utf-8. sbrep help COMMAND shows a command's\n"
             "options and exit statuses; -h, -? and /? work as --help.\n"
             "\n"
             "Examples:\n"
             "  sbrep check balance-sheet export.xml\n"
             "  sbrep check 3 invoices.xml --client C:\\Dexlan-test\n"
             "  sbrep transfer vat-schedule-one invoices.xml\n"
             "  sbrep restore --list\n";
    case Command::kCheck:
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
             Options({kind,
                      kExportLine,
                      kClientLine,
                      kJsonLine,
                      kQuietLine,
                      {"--strict", "a warning fails the check, with exit status 3"},
                      {"--backup-dir DIR", "check DIR as the backup folder a transfer would use"},
                      kEncodingLine}) +
             "\n"
             "Exit status:\n"
             "  0    ready to file\n"
             "  2    the install or a file is missing\n"
             "  3    the export is at fault (with --strict, also a warning)\n"
             "  4    the table file is at fault: too short, unreadable, read-only, locked,\n"
             "       or its folder takes no new file\n"
             "  5    the machine is at fault: no XML parser, out of memory, export\n"
             "       unreadable, or the backup folder cannot be written\n"
             "  64   a usage error\n"
             "  74   the output could not be written\n"
             "  130  interrupted\n"
             "\n"
             "Examples:\n"
             "  sbrep check balance-sheet export.xml\n"
             "  sbrep check 3 invoices.xml --client C:\\Dexlan-test --json\n";
    case Command::kTransfer:
      return "Usage: sbrep transfer KIND EXPORT [--client DIR] [--json | --quiet] [--strict]\n"
             "                      [--backup-dir DIR]\n"
             "\n"
             "Does what a host's call of SetSBRepData does, with the same checks, result\n"
             "and file effects, after copying the table it replaces into the backup\n"
             "folder (the last 50 of each table are kept; sbrep restore puts one back).\n"
             "A failed backup stops the transfer before anything is written.\n"
             "\n" +
             Options({kind,
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
             "\n"
             "Exit status:\n"
             "  0    transferred (the call returned 0)\n"
             "  1    not transferred (the call returned -1, the backup failed, or\n"
             "       --strict and a warning)\n"
             "  64   a usage error\n"
             "  74   the output could not be written (the table may have been saved)\n"
             "  130  interrupted\n"
             "\n"
             "Examples:\n"
             "  sbrep transfer vat-schedule-one invoices.xml\n"
             "  sbrep transfer 1 export.xml --client C:\\Dexlan-test --json\n";
    case Command::kRestore:
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
             "\n"
             "Exit status:\n"
             "  0    restored, listed, or the table already holds the backup\n"
             "  1    not confirmed\n"
             "  2    the backup, the install or its folder is missing, or the backup is\n"
             "       of another install, not the tool's, or fails its checks\n"
             "  4    the table file is at fault: read-only, locked, or the save failed\n"
             "  5    the machine is at fault: the backup cannot be read or written\n"
             "  64   a usage error\n"
             "  74   the output could not be written\n"
             "  130  interrupted\n"
             "\n"
             "Examples:\n"
             "  sbrep restore --list\n"
             "  sbrep restore TABLE08_C-Dexlan_3f2a9c1b_000042.dat\n";
    case Command::kCall:
      return "Usage: sbrep call KIND EXPORT [--dll PATH]\n"
             "\n"
             "Loads the deployed library beside this program (sbrep.dll on Windows), or\n"
             "PATH, calls its SetSBRepData exactly as a host does, and prints the result,\n"
             "the message bytes and their text. No backup is taken.\n"
             "\n" +
             Options({kind,
                      {"EXPORT", "the XML export file, passed in the ANSI code page"},
                      {"--dll PATH", "load this library instead"},
                      kEncodingLine}) +
             "\n"
             "Exit status:\n"
             "  0    the call returned 0\n"
             "  1    the call returned -1\n"
             "  2    the library cannot be loaded, or has no SetSBRepData, or the ANSI code\n"
             "       page cannot hold EXPORT's path\n"
             "  64   a usage error\n"
             "  74   the output could not be written\n"
             "\n"
             "Example:\n"
             "  sbrep call 1 export.xml\n";
    case Command::kLog:
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
             "\n"
             "Exit status:\n"
             "  0    shown, or set\n"
             "  2    no profile folder to keep the log in\n"
             "  5    the log cannot be read, or the value cannot be set\n"
             "  64   a usage error\n"
             "\n"
             "Examples:\n"
             "  sbrep log --failed -n 5\n"
             "  sbrep log --off\n";
  }
  return {};
}

}  // namespace sbrep::cli
