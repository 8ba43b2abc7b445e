// VAT schedule one, kind 3: invoices totalled by kind and rate into four
// lines of its table, patched in place.
#pragma once

#include <string>

#include "table_file/table_lines.h"
#include "transfer/table_kinds.h"
#include "transfer/values.h"

namespace sbrep {

// The running totals (VatTotals) of the export's invoices.
Values ReadVatScheduleOne(const KindEntry& kind, const std::string& xml_path,
                          const ReadProgress& progress = {});
TableLines BuildVatScheduleOne(const KindEntry& kind, const TableLines& old_lines,
                               const Values& values);

}  // namespace sbrep
