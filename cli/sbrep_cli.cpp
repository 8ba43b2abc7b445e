#include "cli/sbrep_cli.h"

#include <exception>
#include <optional>
#include <variant>

#include "cli/arguments.h"
#include "cli/backup.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/places.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/shared.h"
#include "cli/warnings.h"
#include "platform/codepage.h"
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
    report.prepared = PrepareTable(kind, args.export_path, args.client, progress.callback());
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
    if (auto refusal = ProbeWritable(report.prepared->paths.table_path)) {
      report.stop = Stop::kFailure;
      report.failure = {Message::kProcessingFailed, Fault::kTable, *refusal, ""};
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
  options.before_save = [&](const Preparation& p) {
    progress.Stop();
    report.prepared = p;
    report.warnings = Warnings(p);
    if (args.strict && !report.warnings.empty()) {
      report.stop = Stop::kWarnings;
      throw std::runtime_error("stopped by a warning");
    }
    hold.emplace();
    try {
      report.backup = WriteBackup(BackupFolder(args), p.paths.table_path);
    } catch (const BackupError& e) {
      report.stop = Stop::kBackup;
      report.failure = {Message::kEmpty, Fault::kMachine, e.what(), ""};
      throw;
    }
  };
  // Logged as a host's call is; a check is not.
  CallLog log(kind);
  options.facts = log.facts();
  const TransferOutcome outcome =
      TransferTable(kind, host_path->c_str(), progress.callback(), options);
  log.Finish(outcome);
  progress.Stop();
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

int Run(const std::vector<std::string>& args, Console& console) {
  Arguments parsed;
  try {
    parsed = ParseArguments(args);
    if (parsed.client) CheckClientFolder(*parsed.client);
  } catch (const UsageError& e) {
    console.err << "sbrep: " << e.what() << "\n" << std::flush;
    return kExitUsage;
  }
  // JSON is UTF-8 wherever it goes.
  if (parsed.json) parsed.encoding = Encoding::kUtf8;
  if (parsed.encoding != Encoding::kAuto && console.set_encoding) {
    console.out << std::flush;
    console.err << std::flush;
    console.set_encoding(parsed.encoding);
  }
  if (parsed.help) {
    console.out << HelpText(parsed.command) << std::flush;
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
  try {
    return Run(args, console);
  } catch (const std::exception& e) {
    console.err << "sbrep: " << e.what() << "\n" << std::flush;
  } catch (...) {
    console.err << "sbrep: unknown failure\n" << std::flush;
  }
  return kExitMachine;
}

}  // namespace sbrep::cli
