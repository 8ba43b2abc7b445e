// VAT schedule one, kind 3: invoices totalled by kind and rate into four
// lines of its table, patched in place.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "table_file/table_lines.h"
#include "transfer/export_reading.h"
#include "transfer/table_kinds.h"
#include "transfer/values.h"

namespace sbrep {

constexpr std::string_view kVatRoot = "SB_KPJK";
constexpr std::string_view kVatHeader = "SB_KPJK_JG";
constexpr std::string_view kVatList = "SB_KPJK_FPXX";
constexpr std::string_view kInvoiceName = "SB_KPJK_FPMX";

// The running totals (VatTotals) of the export's invoices, in one pass.
Values ReadVatScheduleOne(const KindEntry& kind, const std::string& xml_path,
                          const ReadProgress& progress = {});

// One invoice's fields, each the text of the first child element of that
// name, or absent.
struct InvoiceFields {
  std::optional<ReadText> waste;
  std::optional<ReadText> kind;
  std::optional<ReadText> rate;
  std::optional<ReadText> amount;
  std::optional<ReadText> tax;
};

// Adds the invoice at `position` (its element's name, or empty for text) to
// the totals as the schedule counts it; the detail of its failure, or
// nothing. The invoice's label is made only when it fails: an export may
// hold millions.
std::optional<std::string> AddInvoice(const InvoiceFields& fields, std::size_t position,
                                      std::string_view name, GbkEncoder& gbk, VatTotals* totals);
TableLines BuildVatScheduleOne(const KindEntry& kind, const TableLines& old_lines,
                               const Values& values);

}  // namespace sbrep
