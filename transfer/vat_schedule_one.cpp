#include "transfer/vat_schedule_one.h"

#include <cmath>
#include <optional>

#include "core/error.h"
#include "transfer/export_reading.h"
#include "transfer/numbers.h"
#include "xml/export_reader.h"

namespace sbrep {
namespace {

constexpr std::string_view kRoot = "SB_KPJK";
constexpr std::string_view kHeader = "SB_KPJK_JG";
constexpr std::string_view kList = "SB_KPJK_FPXX";
constexpr std::string_view kInvoiceName = "SB_KPJK_FPMX";
constexpr int kKinds = 3;

// The first column of a rate's group (count, amount, tax), or nothing for a
// rate the schedule does not total.
std::optional<std::size_t> RateColumn(std::int32_t rate) {
  switch (rate) {
    case 17:
      return 0;
    case 13:
      return 3;
    case 6:
      return 6;
    case 4:
      return 9;
    default:
      return std::nullopt;
  }
}

// One invoice record; its fields are looked up by name. Its label is made
// only for a failure: an export may hold a million invoices.
class Invoice {
 public:
  Invoice(const ExportNode& node, std::size_t position) : node_(node), position_(position) {}

  // GBK bytes with blanks trimmed; a missing element reads as empty text.
  std::string Field(std::string_view name) const {
    const auto element = FindChild(node_, name);
    if (!element) return {};
    const std::string text = NodeText(*element);
    const auto gbk = ToGbk(text);
    if (!gbk) ThrowNotGbk(text, Label() + ": " + std::string(name));
    return std::string(TrimBlanks(*gbk));
  }

  std::int32_t Integer(std::string_view name) const {
    const auto value = ParseInteger(Field(name));
    if (!value) Fail(name, Shown(name) + " is not an integer");
    return *value;
  }

  double Number(std::string_view name) const {
    const auto value = ParseNumber(Field(name));
    if (!value) Fail(name, Shown(name) + " is not a number");
    return *value;
  }

  [[noreturn]] void Fail(std::string_view name, const std::string& what) const {
    ThrowExportError(Label() + ": " + std::string(name) + " " + what);
  }

 private:
  std::string Label() const { return ItemLabel("invoice", position_, node_, kInvoiceName); }

  // The field as the export has it (UTF-8), for the detail.
  std::string Shown(std::string_view name) const {
    const auto element = FindChild(node_, name);
    if (!element) return "(missing)";
    const std::string text(TrimBlanks(NodeText(*element)));
    return text.empty() ? "(empty)" : "'" + text + "'";
  }

  const ExportNode& node_;
  std::size_t position_;
};

std::string TotalsLine(const VatTotals& totals, int kind, std::size_t first_column) {
  std::string line = "L01:1,";
  for (std::size_t c = first_column; c < first_column + 6; ++c) {
    line += FormatAmount(totals.cells[kind][c]);
    line += ',';
  }
  // The last two rate groups of the line are never filled.
  line += "0,0.00,0.00,0,0.00,0.00,";
  return line;
}

}  // namespace

Values ReadVatScheduleOne(const KindEntry&, const std::string& xml_path,
                          const ReadProgress& progress) {
  VatTotals totals;
  ExportDocument document = LoadExport(xml_path, progress);
  RequireRoot(document, kRoot);
  const ExportNode list = RequirePart(Root(document), std::string(kRoot), kList, true);
  if (const auto header = FindChild(Root(document), kHeader)) {
    AddHeaderFields(*header, &totals.header);
  }

  for (std::size_t i = 0; i < ChildCount(list); ++i) {
    const ExportNode node = ChildAt(list, i);
    const Invoice invoice(node, i);
    ++totals.invoices;
    // A voided invoice is skipped before its other fields are read.
    if (invoice.Field("Waste") == "1") {
      ++totals.voided;
      continue;
    }
    const std::int32_t kind = invoice.Integer("InvKind");
    const std::int32_t rate = invoice.Integer("TaxRate");
    const double amount = invoice.Number("Amount");
    const double tax = invoice.Number("Tax");
    const auto column = RateColumn(rate);
    if (!column) {
      ++totals.ignored;
      continue;
    }
    // A kind with no row would have to be dropped or added elsewhere; both
    // would file figures the export does not hold.
    if (kind < 0 || kind >= kKinds) {
      invoice.Fail("InvKind",
                   std::to_string(kind) + " is outside 0 to " + std::to_string(kKinds - 1));
    }
    auto& row = totals.cells[static_cast<std::size_t>(kind)];
    row[*column] += 1.0;
    row[*column + 1] += amount;
    row[*column + 2] += tax;
    // Each figure is finite, but a sum of them need not be; a total that
    // cannot be written must not file as something else.
    if (!std::isfinite(row[*column + 1])) invoice.Fail("Amount", "makes its total overflow");
    if (!std::isfinite(row[*column + 2])) invoice.Fail("Tax", "makes its total overflow");
    ++totals.counted;
    if (kind == 1) ++totals.kind_one;
  }
  CloseExport(document);
  return totals;
}

TableLines BuildVatScheduleOne(const KindEntry& kind, const TableLines& old_lines,
                               const Values& values) {
  const VatTotals& totals = std::get<VatTotals>(values);
  // Kind 1 has no line of its own; the lines carry kinds 0 and 2.
  const std::vector<Patch> patches = {
      {2, TotalsLine(totals, 0, 0)},
      {4, TotalsLine(totals, 2, 0)},
      {9, TotalsLine(totals, 0, 6)},
      {11, TotalsLine(totals, 2, 6)},
  };
  return PatchTable(old_lines, patches, kind.file_name);
}

}  // namespace sbrep
