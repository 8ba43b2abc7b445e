// What check and transfer found, and how it is shown: as the report a
// person reads, or as one JSON object for a script.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "core/error.h"
#include "transfer/transfer.h"

namespace sbrep::cli {

struct Failure {
  Message message = Message::kEmpty;  // kEmpty: no fixed message applies
  Fault fault = Fault::kMachine;
  std::string detail;
  std::string hint;  // "this looks like an income statement export: use KIND 2"
};

enum class Stop {
  kNone,
  kFailure,   // a failure of the transfer's stages (or one a host would meet)
  kWarnings,  // --strict and a warning
  kBackup,    // the backup failed, so nothing was written
};

struct Report {
  bool transfer = false;  // check otherwise
  const KindEntry* kind = nullptr;
  std::string export_path;
  std::optional<PreparedTable> prepared;  // the stages ran up to the new lines
  std::vector<std::string> warnings;
  Stop stop = Stop::kNone;
  Failure failure;                      // when stop is kFailure or kBackup
  std::optional<int> result;            // transfer: the call's result, once it ran
  std::string backup;                   // transfer: the backup's path
  Recovery recovery = Recovery::kNone;  // what the rollback of an interrupted save did
};

// The exit status of a report; check's statuses follow the fault.
int ExitStatusOf(const Report& report);

// The report as a person reads it: the report on `out`, warnings and the
// reasons of a failure on `err`. `quiet`: the verdict line alone.
void WriteText(const Report& report, bool quiet, std::ostream& out, std::ostream& err);

// The report as one JSON object and a line break, on `out`.
void WriteJson(const Report& report, std::ostream& out);

// The object of a run that ended before any report: a usage error (fault
// "usage") or a failure no command caught ("machine").
void WriteJsonOutcome(Command command, int exit_status, const std::string& fault,
                      const std::string& detail, std::ostream& out);

// {"help": TEXT}.
void WriteJsonHelp(const std::string& text, std::ostream& out);

}  // namespace sbrep::cli
