#include "transfer/table_kinds.h"

#include "transfer/row_tables.h"
#include "transfer/vat_schedule_one.h"

namespace sbrep {

const std::array<KindEntry, 3> kTableKinds = {{
    {TableKind::kBalanceSheet, "TABLE08.dat", "balance sheet", "balance-sheet",
     Message::kBalanceSheetMissing, ReadRows<kBalanceSheetRows>, BuildRows<kBalanceSheetRows>},
    {TableKind::kIncomeStatement, "TABLE09.dat", "income statement", "income-statement",
     Message::kIncomeStatementMissing, ReadRows<kIncomeStatementRows>,
     BuildRows<kIncomeStatementRows>},
    {TableKind::kVatScheduleOne, "TABLE02.dat", "VAT schedule one", "vat-schedule-one",
     Message::kVatScheduleOneMissing, ReadVatScheduleOne, BuildVatScheduleOne},
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
  if (kind.kind == TableKind::kBalanceSheet || kind.kind == TableKind::kIncomeStatement) {
    const RowTable& layout =
        kind.kind == TableKind::kBalanceSheet ? kBalanceSheetRows : kIncomeStatementRows;
    RowValues rows;
    rows.rows.resize(layout.rows);
    blank = std::move(rows);
  }
  kind.build(kind, lines, blank);
}

}  // namespace sbrep
