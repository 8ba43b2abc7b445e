// The three table writers. Each runs three stages in order: the opening
// checks, the XML stage (values copied into memory, document closed), and the
// file stage, its only protected region.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "export/error.h"
#include "filingclient/filing_client.h"
#include "tables/table_lines.h"

namespace sbrep {

// Kinds 1 and 2: two GBK value texts per row; entry 0 stays unused.
struct RowValues {
  std::vector<std::string> first;
  std::vector<std::string> second;
  std::size_t items = 0;  // items the export holds
  std::size_t rows = 0;   // rows the table has
};

// Kind 3: InvoiceTotals and what the walk over the invoices saw.
struct VatTotals {
  std::array<std::array<double, 12>, 3> cells{};  // [kind][rate group * 3 + count|amount|tax]
  std::size_t invoices = 0;                       // records read
  std::size_t voided = 0;
  std::size_t counted = 0;   // added to a cell
  std::size_t ignored = 0;   // a rate outside 17, 13, 6 and 4
  std::size_t kind_one = 0;  // counted, but on no line
};

// The XML stages. Each throws an Error: Fault::kExport for the export's
// content, Fault::kMachine for the machine.
RowValues ReadBalanceSheet(const std::string& xml_path);
RowValues ReadIncomeStatement(const std::string& xml_path);
VatTotals ReadVatScheduleOne(const std::string& xml_path);

// The new lines of each table from its old lines; throws an Error
// (Fault::kTable) when the old file is too short.
TableLines BuildBalanceSheet(const TableLines& old_lines, const RowValues& values);
TableLines BuildIncomeStatement(const TableLines& old_lines, const RowValues& values);
TableLines BuildVatScheduleOne(const TableLines& old_lines, const VatTotals& totals);

// Everything a writer does except the save.
struct Preparation {
  TableKind kind = TableKind::kBalanceSheet;
  OpeningPaths paths;
  TableLines old_lines;
  TableLines new_lines;
  RowValues rows;    // kinds 1 and 2
  VatTotals totals;  // kind 3
};

// Throws an Error with the message and fault of the first failure.
Preparation PrepareTable(TableKind kind, const std::string& xml_path,
                         const std::optional<std::string>& client_folder = std::nullopt);

// The writers as the exported function calls them: 0 on success, -1 on
// failure with the message stored in LastMessage. They never throw.
int WriteBalanceSheet(const char* xml_path) noexcept;
int WriteIncomeStatement(const char* xml_path) noexcept;
int WriteVatScheduleOne(const char* xml_path) noexcept;

// The writer for a kind, with the detail of a failure for diagnostics.
struct WriteOutcome {
  int result = 0;
  std::optional<Error> error;
};
WriteOutcome WriteTable(TableKind kind, const char* xml_path) noexcept;

}  // namespace sbrep
