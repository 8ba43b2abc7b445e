// One transfer of a table kind: the opening checks, the XML stage (values
// copied into memory, document closed) and the file stage, its only
// protected region, always in this order.
#pragma once

#include <optional>
#include <string>

#include "core/error.h"
#include "core/messages.h"
#include "install/filing_client.h"
#include "table_file/table_lines.h"
#include "table_file/table_lock.h"
#include "transfer/table_kinds.h"
#include "transfer/values.h"

namespace sbrep {

// Everything a transfer does except the save.
struct Preparation {
  const KindEntry* kind = nullptr;
  OpeningPaths paths;
  TableLines old_lines;
  TableLines new_lines;
  Values values;   // RowValues for kinds 1 and 2, VatTotals for kind 3
  TableLock lock;  // taken before the table is read, held until this dies
};

// Throws an Error with the message and fault of the first failure.
// `client_folder`, when given, stands in for the registry.
Preparation PrepareTable(const KindEntry& kind, const std::string& xml_path,
                         const std::optional<std::string>& client_folder = std::nullopt);

// What a transfer did: 0, or -1 with the message a host gets and, memory
// permitting, the error with its detail.
struct TransferOutcome {
  int result = 0;
  Message message = Message::kEmpty;
  std::optional<Error> error;
};

// The whole transfer, for the path as a host passes it (ANSI code page).
// Never throws.
TransferOutcome TransferTable(const KindEntry& kind, const char* host_path) noexcept;

}  // namespace sbrep
