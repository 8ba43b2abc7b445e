// sbrep check: everything a transfer runs but the save, and whether the
// save would go through.
#include <exception>
#include <string>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/progress_line.h"
#include "cli/transfer_steps.h"
#include "platform/codepage.h"
#include "transfer/transfer.h"

namespace sbrep::cli {

int RunCheck(const Arguments& args, Console& console) {
  const KindEntry& kind = *args.kind;
  Report report;
  report.kind = &kind;
  report.export_path = args.export_path;
  SetInterruptText("sbrep: interrupted; a check changes nothing, " + std::string(kind.file_name) +
                   " is as it was\n");
  if (!Utf8ToAnsi(args.export_path)) {
    report.stop = Stop::kFailure;
    report.failure = HostCannotPass(args.export_path);
    return Finish(report, args, console);
  }
  ProgressLine progress(console.err, console.err_is_terminal && !args.quiet);
  try {
    // The lock goes with the preparation, at once: a check saves nothing.
    report.prepared = PreparedPart(
        PrepareTable(kind, args.export_path, args.client, progress.callback(), &report.recovery));
  } catch (const Error& e) {
    report.stop = Stop::kFailure;
    report.failure = FailureOf(e, kind, args.export_path);
  } catch (const std::exception& e) {
    report.stop = Stop::kFailure;
    report.failure = {Message::kProcessingFailed, Fault::kMachine, e.what(), ""};
  }
  progress.Stop();
  if (report.prepared) {
    report.warnings = WarningsOf(*report.prepared);
    if (!SaveWouldFail(args, report.prepared->paths.table_path, &report) && args.strict &&
        !report.warnings.empty()) {
      report.stop = Stop::kWarnings;
    }
  }
  return Finish(report, args, console);
}

}  // namespace sbrep::cli
