#include "cli/exit_status.h"

namespace sbrep::cli {

const std::vector<ExitStatusEntry>& ExitStatuses() {
  static const std::vector<ExitStatusEntry> entries = {
      {kExitReady, "ready", "ready to file", "transferred (the call returned 0)",
       "restored, listed, or the table already holds the backup", "the call returned 0",
       "shown, or set"},
      {kExitFailed, "failed", nullptr,
       "not transferred (the call returned -1, the backup failed, or\n--strict and a warning)",
       "not confirmed", "the call returned -1", nullptr},
      {kExitInstall, "install", "the install or a file is missing", nullptr,
       "the backup, the install or its folder is missing, or the backup is\n"
       "of another install, not the tool's, or fails its checks",
       "the library cannot be loaded, or has no SetSBRepData, or the ANSI code\n"
       "page cannot hold EXPORT's path",
       "no profile folder to keep the log in"},
      {kExitExport, "export", "the export is at fault (with --strict, also a warning)", nullptr,
       nullptr, nullptr, nullptr},
      {kExitTable, "table",
       "the table file is at fault: too short, unreadable, read-only, locked,\n"
       "or its folder takes no new file",
       nullptr, "the table file is at fault: read-only, locked, or the save failed", nullptr,
       nullptr},
      {kExitMachine, "machine",
       "the machine is at fault: no XML parser, out of memory, export\n"
       "unreadable, or the backup folder cannot be written",
       nullptr, "the machine is at fault: the backup cannot be read or written", nullptr,
       "the log cannot be read, or the value cannot be set"},
      {kExitUsage, "usage", "a usage error", "a usage error", "a usage error", "a usage error",
       "a usage error"},
      {kExitOutput, "output", "the output could not be written",
       "the output could not be written (the table may have been saved)",
       "the output could not be written", "the output could not be written", nullptr},
      {kExitInterrupted, "interrupted", "interrupted", "interrupted", "interrupted", nullptr,
       nullptr},
  };
  return entries;
}

const char* ExitMeaning(const ExitStatusEntry& entry, Command command) {
  switch (command) {
    case Command::kCheck:
      return entry.check;
    case Command::kTransfer:
      return entry.transfer;
    case Command::kRestore:
      return entry.restore;
    case Command::kCall:
      return entry.call;
    case Command::kLog:
      return entry.log;
    case Command::kNone:
      break;
  }
  return nullptr;
}

std::string ExitStatusHelp(Command command) {
  constexpr std::size_t kColumn = 7;
  std::string out = "Exit status:\n";
  for (const ExitStatusEntry& entry : ExitStatuses()) {
    const char* meaning = ExitMeaning(entry, command);
    if (meaning == nullptr) continue;
    std::string line = "  " + std::to_string(entry.status);
    line += std::string(kColumn - line.size(), ' ');
    for (const char* c = meaning; *c != '\0'; ++c) {
      line += *c;
      if (*c == '\n') line += std::string(kColumn, ' ');
    }
    out += line + "\n";
  }
  return out;
}

}  // namespace sbrep::cli
