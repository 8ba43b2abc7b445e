#include "cli/sbrep_cli.h"

#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "cli/arguments.h"
#include "cli/backup.h"
#include "cli/commands.h"
#include "cli/help.h"
#include "cli/interrupt.h"
#include "cli/places.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "cli/shared.h"
#include "cli/warnings.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "table_file/save.h"
#include "transfer/call_log.h"
#include "transfer/table_kinds.h"
#include "transfer/transfer.h"

namespace sbrep::cli {
namespace {

// A host hands the path over in the ANSI code page; a path that code page
// cannot hold never reaches the DLL as it is, so the export is not found.
std::optional<Failure> HostCannotPass(const std::string& xml_path) {
  if (Utf8ToAnsi(xml_path)) return std::nullopt;
  return Failure{Message::kExportMissing, Fault::kInstall,
                 "the ANSI code page cannot hold the export's path '" + xml_path +
                     "', so a host could not pass it: rename the file or its folder",
                 ""};
}

// A failure at the root or the section: the export may be of another kind.
bool WrongShape(const std::string& detail) {
  if (detail.rfind("root element is '", 0) == 0) return true;
  const std::string missing = " is missing";
  return detail.size() > missing.size() &&
         detail.compare(detail.size() - missing.size(), missing.size(), missing) == 0 &&
         detail.find('/') == detail.rfind('/');
}

// "this looks like an income statement export: use KIND 2", when another
// kind's reader gets past the root and the section.
std::string KindHint(const KindEntry& tried, const std::string& xml_path) {
  for (const KindEntry& other : kTableKinds) {
    if (&other == &tried) continue;
    try {
      other.read(other, xml_path, {});
    } catch (const Error& e) {
      if (e.fault() != Fault::kExport || WrongShape(e.detail())) continue;
    } catch (const std::exception&) {
      continue;
    }
    const std::string title(other.title);
    const bool vowel = std::string_view("aeiou").find(title[0]) != std::string_view::npos;
    return std::string("this looks like ") + (vowel ? "an " : "a ") + title + " export: use KIND " +
           std::to_string(static_cast<int>(other.kind)) + " (" + std::string(other.cli_name) + ")";
  }
  return {};
}

Failure FailureOf(const Error& e, const KindEntry& kind, const std::string& xml_path) {
  Failure failure{e.message(), e.fault(), e.detail(), ""};
  if (e.fault() == Fault::kExport && WrongShape(e.detail())) {
    failure.hint = KindHint(kind, xml_path);
  }
  return failure;
}

int Finish(const Report& report, const Arguments& args, Console& console) {
  if (args.json) {
    WriteJson(report, console.out);
  } else {
    WriteText(report, args.quiet, console.out, console.err);
  }
  return ExitStatusOf(report);
}

// A folder that takes no new file still takes the save, rewritten in place
// with one write: said, since a crash in that write tears the table.
void WarnOfTheSave(const std::string& table_path, std::vector<std::string>* warnings) {
  if (FolderTakesNewFiles(table_path)) return;
  const std::string name = fs::NameOf(LocateTable(table_path).path);
  warnings->push_back("the folder of " + name +
                      " takes no new file, so the save rewrites it in place with one write and "
                      "no journal: a crash during that write would leave it torn");
}

// What a transfer meets after the stages, so that a check is ready only
// where a transfer would be done: the table and the backup folder.
std::optional<std::pair<Stop, Failure>> SaveWouldFail(const Arguments& args,
                                                      const std::string& table_path) {
  const auto table_fault = [](const std::string& detail) {
    return std::make_pair(Stop::kFailure,
                          Failure{Message::kProcessingFailed, Fault::kTable, detail, ""});
  };
  if (auto refusal = ProbeWritable(table_path)) return table_fault(*refusal);
  std::optional<std::string> refusal;
  try {
    refusal = ProbeBackupFolder(BackupFolder(args));
  } catch (const BackupError& e) {
    refusal = e.what();
  }
  if (!refusal) return std::nullopt;
  return std::make_pair(Stop::kBackup, Failure{Message::kEmpty, Fault::kMachine, *refusal, ""});
}

int Check(const Arguments& args, Console& console) {
  const KindEntry& kind = *args.kind;
  Report report;
  report.kind = &kind;
  report.export_path = args.export_path;
  SetInterruptText("sbrep: interrupted; a check changes nothing, " + std::string(kind.file_name) +
                   " is as it was\n");
  if (auto failure = HostCannotPass(args.export_path)) {
    report.stop = Stop::kFailure;
    report.failure = *failure;
    return Finish(report, args, console);
  }
  ProgressLine progress(console.err, console.err_is_terminal && !args.quiet);
  try {
    report.prepared =
        PrepareTable(kind, args.export_path, args.client, progress.callback(), &report.recovery);
  } catch (const Error& e) {
    report.stop = Stop::kFailure;
    report.failure = FailureOf(e, kind, args.export_path);
  } catch (const std::exception& e) {
    report.stop = Stop::kFailure;
    report.failure = {Message::kProcessingFailed, Fault::kMachine, e.what(), ""};
  }
  progress.Stop();
  if (report.prepared) {
    report.warnings = Warnings(*report.prepared);
    WarnOfTheSave(report.prepared->paths.table_path, &report.warnings);
    if (auto refusal = SaveWouldFail(args, report.prepared->paths.table_path)) {
      report.stop = refusal->first;
      report.failure = refusal->second;
    } else if (args.strict && !report.warnings.empty()) {
      report.stop = Stop::kWarnings;
    }
  }
  return Finish(report, args, console);
}

int Transfer(const Arguments& args, Console& console) {
  const KindEntry& kind = *args.kind;
  const std::string table(kind.file_name);
  Report report;
  report.transfer = true;
  report.kind = &kind;
  report.export_path = args.export_path;
  SetInterruptText("sbrep: interrupted; " + table + " was left as it was\n");
  const auto host_path = Utf8ToAnsi(args.export_path);
  if (!host_path) {
    report.stop = Stop::kFailure;
    report.failure = *HostCannotPass(args.export_path);
    return Finish(report, args, console);
  }

  // Held from the backup to the end of the save: an interrupt then would
  // leave a half-written backup, or a temporary file beside the table.
  std::optional<HoldInterrupts> hold;
  ProgressLine progress(console.err, console.err_is_terminal && !args.quiet);
  TransferOptions options;
  options.client_folder = args.client;
  std::string stop_reason;
  options.stop_reason = &stop_reason;
  options.before_save = [&](const Preparation& p) {
    progress.Stop();
    report.prepared = p;
    report.warnings = Warnings(p);
    WarnOfTheSave(p.paths.table_path, &report.warnings);
    if (args.strict && !report.warnings.empty()) {
      report.stop = Stop::kWarnings;
      stop_reason = "stopped by a warning";
      return Verdict::kStop;
    }
    // A transfer that cannot save takes no backup: each retry would push an
    // older, different one out.
    if (auto refusal = SaveWouldFail(args, p.paths.table_path)) {
      report.stop = refusal->first;
      report.failure = refusal->second;
      stop_reason = "stopped before the backup";
      return Verdict::kStop;
    }
    hold.emplace();
    try {
      report.backup = WriteBackup(BackupFolder(args), p.paths.table_path);
    } catch (const BackupError& e) {
      report.stop = Stop::kBackup;
      report.failure = {Message::kEmpty, Fault::kMachine, e.what(), ""};
      stop_reason = e.what();
      return Verdict::kStop;
    }
    return Verdict::kSave;
  };
  // Logged as a host's call is; a check is not.
  CallLog log(kind);
  options.facts = log.facts();
  const TransferOutcome outcome =
      TransferTable(kind, host_path->c_str(), progress.callback(), options);
  log.Finish(outcome);
  progress.Stop();
  report.recovery = outcome.recovery;
  if (report.stop == Stop::kNone) {
    report.result = outcome.result;
    if (outcome.result != 0) {
      report.stop = Stop::kFailure;
      if (outcome.error) {
        report.failure = FailureOf(*outcome.error, kind, args.export_path);
      } else {
        report.failure = {outcome.message, Fault::kMachine, "", ""};
      }
    }
  }
  if (hold) {
    SetInterruptText(outcome.result == 0
                         ? "sbrep: interrupted; " + table +
                               " was saved, and its old bytes are in " + report.backup + "\n"
                         : "sbrep: interrupted; " + table + " was left as it was\n");
    hold.reset();
  }
  return Finish(report, args, console);
}

void SetEncoding(OutputEncoding encoding, Console& console) {
  if (encoding == OutputEncoding::kAuto || !console.set_encoding) return;
  console.out << std::flush;
  console.err << std::flush;
  console.set_encoding(encoding);
}

int Run(const std::vector<std::string>& args, Console& console) {
  Arguments parsed;
  try {
    parsed = ParseArguments(args);
    if (parsed.client) CheckClientFolder(*parsed.client);
  } catch (const UsageError& e) {
    console.err << "sbrep: " << e.what() << "\n" << std::flush;
    if (AsksForJson(args)) {
      SetEncoding(OutputEncoding::kUtf8, console);
      // A --client refused after the parse still names its command.
      const Command command = e.command != Command::kNone ? e.command : parsed.command;
      WriteJsonOutcome(command, kExitUsage, "usage", e.what(), console.out);
    }
    return kExitUsage;
  }
  // JSON is UTF-8 wherever it goes.
  if (parsed.json) parsed.encoding = OutputEncoding::kUtf8;
  SetEncoding(parsed.encoding, console);
  SetInterruptJson(parsed.json ? CommandName(parsed.command) : "");
  if (parsed.help) {
    if (parsed.json) {
      WriteJsonHelp(HelpText(parsed.command), console.out);
    } else {
      console.out << HelpText(parsed.command) << std::flush;
    }
    return kExitReady;
  }
  if (parsed.version) return RunVersion(parsed, console);
  switch (parsed.command) {
    case Command::kCheck:
      return Check(parsed, console);
    case Command::kTransfer:
      return Transfer(parsed, console);
    case Command::kRestore:
      return RunRestore(parsed, console);
    case Command::kCall:
      return RunCall(parsed, console);
    case Command::kLog:
      return RunLog(parsed, console);
    case Command::kNone:
      break;
  }
  return kExitUsage;
}

}  // namespace

std::string BackupFolder(const Arguments& args) {
  if (args.backup_dir) return *args.backup_dir;
  if (auto folder = DefaultBackupFolder()) return *folder;
  throw BackupError("no backup folder: the variables that name it are unset; give --backup-dir");
}

int RunCli(const std::vector<std::string>& args, Console& console) {
  int status = kExitMachine;
  try {
    status = Run(args, console);
  } catch (const std::exception& e) {
    console.err << "sbrep: " << e.what() << "\n" << std::flush;
    if (AsksForJson(args))
      WriteJsonOutcome(Command::kNone, status, "machine", e.what(), console.out);
  } catch (...) {
    console.err << "sbrep: unknown failure\n" << std::flush;
  }
  console.out << std::flush;
  console.err << std::flush;
  // What a script reads is incomplete: success must not be told by the
  // status alone.
  const bool out_failed = !console.out;
  if (out_failed || !console.err) {
    console.err.clear();
    console.err << "sbrep: cannot write the " << (out_failed ? "output" : "error stream")
                << "; what it shows is incomplete\n"
                << std::flush;
    return kExitOutput;
  }
  return status;
}

}  // namespace sbrep::cli
