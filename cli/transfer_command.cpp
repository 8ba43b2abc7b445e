// sbrep transfer: what a host's call of SetSBRepData does, logged as one,
// after the checks a check runs and a backup of the table it replaces.
#include <optional>
#include <string>

#include "cli/backup.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/paths.h"
#include "cli/progress_line.h"
#include "cli/transfer_steps.h"
#include "platform/codepage.h"
#include "transfer/call_log.h"
#include "transfer/transfer.h"

namespace sbrep::cli {
namespace {

// The step just before the save, and what it tells the report.
class BeforeSave {
 public:
  BeforeSave(const Arguments& args, ProgressLine& progress, Report& report)
      : args_(args), progress_(progress), report_(report) {}

  Verdict operator()(const Preparation& p) {
    progress_.Stop();
    report_.prepared = PreparedPart(p);
    report_.warnings = WarningsOf(p);
    if (args_.strict && !report_.warnings.empty()) {
      report_.stop = Stop::kWarnings;
      return Stop("stopped by a warning");
    }
    // A transfer that cannot save takes no backup: each retry would push an
    // older, different one out.
    if (SaveWouldFail(args_, p.paths.table_path, &report_)) {
      return Stop("stopped before the backup");
    }
    hold_.emplace();
    try {
      report_.backup = WriteBackup(BackupFolder(args_), p.paths.table_path);
    } catch (const BackupError& e) {
      report_.stop = Stop::kBackup;
      report_.failure = {Message::kEmpty, Fault::kMachine, e.what(), ""};
      return Stop(e.what());
    }
    return Verdict::kSave;
  }

  // Why the step stopped the transfer, for its log line.
  const std::string* reason() const { return &reason_; }
  // Held from the backup to the end of the save: an interrupt then would
  // leave a half-written backup, or a temporary file beside the table.
  std::optional<HoldInterrupts>& hold() { return hold_; }

 private:
  Verdict Stop(const std::string& reason) {
    reason_ = reason;
    return Verdict::kStop;
  }

  const Arguments& args_;
  ProgressLine& progress_;
  Report& report_;
  std::string reason_;
  std::optional<HoldInterrupts> hold_;
};

// The outcome of the call in the report, unless the step before the save
// stopped it.
void TakeOutcome(const TransferOutcome& outcome, const Arguments& args, Report* report) {
  report->recovery = outcome.recovery;
  if (report->stop != Stop::kNone) return;
  report->result = outcome.result;
  if (outcome.result == 0) return;
  report->stop = Stop::kFailure;
  if (outcome.error) {
    report->failure = FailureOf(*outcome.error, *args.kind, args.export_path);
  } else {
    report->failure = {outcome.message, Fault::kMachine, "", ""};
  }
}

}  // namespace

int RunTransfer(const Arguments& args, Console& console) {
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
    report.failure = HostCannotPass(args.export_path);
    return Finish(report, args, console);
  }
  ProgressLine progress(console.err, console.err_is_terminal && !args.quiet);
  BeforeSave before_save(args, progress, report);
  TransferOptions options;
  options.client_folder = args.client;
  options.before_save = [&before_save](const Preparation& p) { return before_save(p); };
  options.stop_reason = before_save.reason();
  // Logged as a host's call is; a check is not.
  CallLog log(kind);
  options.facts = log.facts();
  const TransferOutcome outcome =
      TransferTable(kind, host_path->c_str(), progress.callback(), options);
  log.Finish(outcome);
  progress.Stop();
  TakeOutcome(outcome, args, &report);
  if (before_save.hold()) {
    SetInterruptText(outcome.result == 0
                         ? "sbrep: interrupted; " + table +
                               " was saved, and its old bytes are in " + report.backup + "\n"
                         : "sbrep: interrupted; " + table + " was left as it was\n");
    before_save.hold().reset();
  }
  return Finish(report, args, console);
}

}  // namespace sbrep::cli
