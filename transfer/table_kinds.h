// The table kinds: one entry for each, with everything that tells one kind
// from another, so that every stage takes what it needs from here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/messages.h"
#include "core/read_progress.h"
#include "core/table_kind.h"
#include "table_file/table_lines.h"
#include "transfer/values.h"

namespace sbrep {

struct KindEntry {
  TableKind kind;              // the number a host passes
  std::string_view file_name;  // below Dexlan\ICDAT
  std::string_view title;      // for people: "balance sheet"
  std::string_view cli_name;   // the tool's name for it: "balance-sheet"
  Message missing_table;       // the message when the table file is missing
  // The XML stage: the export's values, the document closed. Throws an
  // Error: Fault::kExport for the export's content, Fault::kMachine for the
  // machine. `progress` hears how far the read of the file has got.
  Values (*read)(const KindEntry& kind, const std::string& xml_path, const ReadProgress& progress);
  // The new lines of the table from its old lines. Throws an Error
  // (Fault::kTable) when the old file is too short.
  TableLines (*build)(const KindEntry& kind, const TableLines& old_lines, const Values& values);
};

// Every kind, in the order of their numbers.
extern const std::array<KindEntry, 3> kTableKinds;

// The entry for the number a host passes; null for any other number.
const KindEntry* FindTableKind(std::int32_t number) noexcept;
const KindEntry& EntryOf(TableKind kind);

// The kind whose table file is `file_name` ("TABLE08.dat"); null for any other.
const KindEntry* FindTableFile(std::string_view file_name) noexcept;

// Throws the Error a transfer would (Fault::kTable) when `lines` are too few
// for the kind's build: a table checked without an export.
void CheckLinesFit(const KindEntry& kind, const TableLines& lines);

}  // namespace sbrep
