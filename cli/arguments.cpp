#include "cli/arguments.h"

#include "cli/exit_status.h"
#include "cli/paths.h"
#include "cli/refusal.h"
#include "cli/suggestions.h"
#include "core/text.h"
#include "install/filing_client.h"
#include "platform/filesystem.h"

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

[[noreturn]] void Fail(const std::string& text) { throw Refusal(kExitUsage, text); }

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

OutputEncoding EncodingOf(const std::string& text) {
  const std::string name = Lower(text);
  if (name == "utf-8" || name == "utf8") return OutputEncoding::kUtf8;
  if (name == "auto") return OutputEncoding::kAuto;
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

Arguments ParseArguments(const std::vector<std::string>& args) {
  Arguments out;
  try {
    ParseInto(args, &out);
  } catch (Refusal& e) {
    e.command = out.command;
    throw;
  }
  return out;
}

void CheckClientFolder(const std::string& folder) {
  const std::string what = "--client takes the install folder, the one that holds Dexlan\\ICDAT";
  if (TrimBlanks(folder).empty()) Fail(what + ", not empty text");
  if (fs::IsFolder(TableFolder(folder))) return;
  const std::string name = Lower(fs::NameOf(WithoutTrailingSeparators(folder)));
  if (name == "icdat" && fs::IsFolder(folder)) {
    Fail(what + "; '" + folder + "' is the ICDAT folder itself: give '" +
         ParentFolder(ParentFolder(folder)) + "'");
  }
  if (name == "dexlan" && fs::IsFolder(folder + "\\ICDAT")) {
    Fail(what + "; '" + folder + "' is the Dexlan folder below it: give '" + ParentFolder(folder) +
         "'");
  }
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

}  // namespace

}  // namespace sbrep::cli
