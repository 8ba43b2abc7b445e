// One transfer of a table kind: the opening checks, the XML stage (values
// copied into memory, document closed) and the file stage, its only
// protected region, always in this order.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/error.h"
#include "core/messages.h"
#include "core/read_progress.h"
#include "install/filing_client.h"
#include "table_file/table_lines.h"
#include "table_file/table_lock.h"
#include "transfer/table_kinds.h"
#include "transfer/values.h"

namespace sbrep {

// What a transfer makes ready for the save.
struct PreparedTable {
  const KindEntry* kind = nullptr;
  OpeningPaths paths;
  TableLines old_lines;
  TableLines new_lines;
  Values values;                        // RowValues for kinds 1 and 2, VatTotals for kind 3
  Recovery recovery = Recovery::kNone;  // what the rollback of an interrupted save did
};

// Everything a transfer does except the save: what it made ready, and the
// table's lock, taken before the table is read and held until this dies.
struct Preparation : PreparedTable {
  TableLock lock;
};

// Throws an Error with the message and fault of the first failure.
// `client_folder`, when given, stands in for the registry; `progress` hears
// how far the read of the export has got. Once the opening checks have found
// the table, and before the export is read, it takes the table's lock and
// completes the rollback of an interrupted save; `recovery`, when given,
// hears what that did, even when a later stage fails.
Preparation PrepareTable(const KindEntry& kind, const std::string& xml_path,
                         const std::optional<std::string>& client_folder = std::nullopt,
                         const ReadProgress& progress = {}, Recovery* recovery = nullptr);

// What a transfer did: 0, or -1 with the message a host gets and, memory
// permitting, the error with its detail.
struct TransferOutcome {
  int result = 0;
  Message message = Message::kEmpty;
  std::optional<Error> error;
  Recovery recovery = Recovery::kNone;  // what the rollback of an interrupted save did
};

// What a call's log line says beyond the outcome, filled in as far as the
// transfer got. Only gathered when the call is logged.
struct CallFacts {
  std::string xml_path;  // as decoded from the host's bytes
  std::string table_path;
  std::optional<std::uint64_t> export_size;
  std::optional<std::uint64_t> table_size_before;
};

// Whether the step before the save lets the save go ahead.
enum class Verdict { kSave, kStop };

// What the tool adds to a host's transfer; a host passes none of it.
struct TransferOptions {
  // Stands in for the registry.
  std::optional<std::string> client_folder;
  // Runs after the file stage with everything the save will write, just
  // before the save. kStop, or whatever it throws, ends the transfer there
  // with the table as it was: -1, the catch-all message and Fault::kMachine.
  std::function<Verdict(const Preparation&)> before_save;
  // The detail of a stop, read once before_save has returned kStop: the
  // step says there why it stopped, as a throw says it in what().
  const std::string* stop_reason = nullptr;
  // Gathers the facts of the call for its log line; never changes the call.
  CallFacts* facts = nullptr;
};

// The whole transfer, for the path as a host passes it (ANSI code page).
// Never throws.
TransferOutcome TransferTable(const KindEntry& kind, const char* host_path,
                              const ReadProgress& progress = {},
                              const TransferOptions& options = {}) noexcept;

}  // namespace sbrep
