#include "transfer/table_kinds.h"

#include <variant>

#include "transfer/filing_warnings.h"

namespace sbrep {
namespace {

// Marker k stands after row kBalanceSheetMarkers[k] and carries digit 2 + k;
// the last one wraps round to 0, so no marker has the digit 1.
constexpr int kBalanceSheetMarkers[] = {14, 15, 16, 23, 25, 26, 27, 29, 42, 43, 48, 49, 50, 51, 57};

// The balance sheet: 58 rows and 15 marker lines in its table.
constexpr RowTable kBalanceSheetRows = {
    "SB_ZCFZB",                                                    // section
    "SB_ZCFZB_XM",                                                 // item_name
    58,                                                            // rows
    0,                                                             // tag_offset
    3,                                                             // header
    76,                                                            // trailer_begin
    83,                                                            // trailer_end
    kBalanceSheetMarkers,                                          // marker_rows
    sizeof kBalanceSheetMarkers / sizeof kBalanceSheetMarkers[0],  // marker_count
    2,                                                             // first_marker_digit
};

// The income statement: 17 rows, each tag one ahead of its row number, which
// makes the tag the line's own position.
constexpr RowTable kIncomeStatementRows = {
    "SB_SYB",     // section
    "SB_SYB_XM",  // item_name
    17,           // rows
    1,            // tag_offset
    2,            // header
    19,           // trailer_begin
    23,           // trailer_end
    nullptr,      // marker_rows
    0,            // marker_count
    0,            // first_marker_digit
};

// VAT schedule one: 17 and 13 % on lines 3 and 5, 6 and 4 % on lines 10 and
// 12, for invoice kinds 0 and 2; kind 1 has no line of its own.
constexpr VatLayout kVatScheduleOneLayout = {
    {17, 13, 6, 4},
    {{{3, 10}, {0, 0}, {5, 12}}},
};

Values ReadRows(const KindEntry& kind, const std::string& xml_path, const ReadProgress& progress) {
  return ReadRowTable(*kind.rows, kind.title, xml_path, progress);
}

TableLines BuildRows(const KindEntry& kind, const TableLines& old_lines, const Values& values) {
  return BuildRowTable(*kind.rows, kind.file_name, old_lines, std::get<RowValues>(values));
}

std::vector<std::string> WarnOfRows(const Values& values, const TableLines& old_lines) {
  return RowTableWarnings(std::get<RowValues>(values), old_lines);
}

Values ReadInvoices(const KindEntry& kind, const std::string& xml_path,
                    const ReadProgress& progress) {
  return ReadVatScheduleOne(*kind.vat, xml_path, progress);
}

TableLines BuildTotals(const KindEntry& kind, const TableLines& old_lines, const Values& values) {
  return BuildVatScheduleOne(*kind.vat, kind.file_name, old_lines, std::get<VatTotals>(values));
}

std::vector<std::string> WarnOfInvoices(const Values& values, const TableLines& old_lines) {
  return HeaderWarnings(std::get<VatTotals>(values).header, old_lines);
}

}  // namespace

const std::array<KindEntry, 3> kTableKinds = {{
    {TableKind::kBalanceSheet, "TABLE08.dat", "balance sheet", "balance-sheet",
     Message::kBalanceSheetMissing, &kBalanceSheetRows, nullptr, ReadRows, BuildRows, WarnOfRows},
    {TableKind::kIncomeStatement, "TABLE09.dat", "income statement", "income-statement",
     Message::kIncomeStatementMissing, &kIncomeStatementRows, nullptr, ReadRows, BuildRows,
     WarnOfRows},
    {TableKind::kVatScheduleOne, "TABLE02.dat", "VAT schedule one", "vat-schedule-one",
     Message::kVatScheduleOneMissing, nullptr, &kVatScheduleOneLayout, ReadInvoices, BuildTotals,
     WarnOfInvoices},
}};

const KindEntry* FindTableKind(std::int32_t number) noexcept {
  for (const KindEntry& entry : kTableKinds) {
    if (static_cast<std::int32_t>(entry.kind) == number) return &entry;
  }
  return nullptr;
}

const KindEntry& EntryOf(TableKind kind) { return *FindTableKind(static_cast<std::int32_t>(kind)); }

const KindEntry* FindTableFile(std::string_view file_name) noexcept {
  for (const KindEntry& entry : kTableKinds) {
    if (entry.file_name == file_name) return &entry;
  }
  return nullptr;
}

void CheckLinesFit(const KindEntry& kind, const TableLines& lines) {
  Values blank = VatTotals{};
  if (kind.rows != nullptr) {
    RowValues rows;
    rows.rows.resize(kind.rows->rows);
    blank = std::move(rows);
  }
  kind.build(kind, lines, blank);
}

}  // namespace sbrep
