// VAT schedule one, kind 3: invoices totalled by kind and rate into four
// lines of its table, patched in place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/read_progress.h"
#include "table_file/table_lines.h"
#include "transfer/export_reading.h"
#include "transfer/values.h"

namespace sbrep {

constexpr std::string_view kVatRoot = "SB_KPJK";
constexpr std::string_view kVatHeader = "SB_KPJK_JG";
constexpr std::string_view kVatList = "SB_KPJK_FPXX";
constexpr std::string_view kInvoiceName = "SB_KPJK_FPMX";

// What the schedule totals and where the totals go: the rates it counts,
// and the lines that carry each invoice kind's totals, two rates to a line.
struct VatLayout {
  // In the order of their groups: rate g's count, amount and tax are cells
  // 3g to 3g + 2 of VatTotals.
  std::array<std::int32_t, kVatRates> rates;
  // lines[kind][half]: the table line, counted from 1, that carries the
  // kind's rates 2 * half and 2 * half + 1; 0 where the kind is on no line.
  std::array<std::array<std::size_t, 2>, kInvoiceKinds> lines;
};

// The running totals of the export's invoices, in one pass.
VatTotals ReadVatScheduleOne(const VatLayout& layout, const std::string& xml_path,
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
std::optional<std::string> AddInvoice(const VatLayout& layout, const InvoiceFields& fields,
                                      std::size_t position, std::string_view name, GbkEncoder& gbk,
                                      VatTotals* totals);
// `file_name` names the file in a detail ("TABLE02.dat has 10 lines").
TableLines BuildVatScheduleOne(const VatLayout& layout, std::string_view file_name,
                               const TableLines& old_lines, const VatTotals& totals);

}  // namespace sbrep
