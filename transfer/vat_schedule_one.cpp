#include "transfer/vat_schedule_one.h"

#include <array>
#include <cmath>

#include "core/error.h"
#include "transfer/numbers.h"
#include "xml/export_pass.h"
#include "xml/text_value.h"

namespace sbrep {
namespace {

constexpr int kKinds = 3;

// The order in which a reader meets the failures of an invoice export: the
// root, the invoice list, the invoices.
enum Rank { kRoot, kList, kInvoice };

enum Depth : std::size_t { kRootDepth, kListDepth, kInvoiceDepth, kFieldDepth };

// The fields an invoice is totalled by, in the order they are read.
constexpr std::array<std::string_view, 5> kFieldNames = {"Waste", "InvKind", "TaxRate", "Amount",
                                                         "Tax"};

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

// The fields of one invoice, read as the schedule reads them.
class Invoice {
 public:
  Invoice(const InvoiceFields& fields, std::size_t position, std::string_view name, GbkEncoder& gbk)
      : fields_(fields), position_(position), name_(name), gbk_(gbk) {}

  // GBK bytes with blanks trimmed; a missing element reads as empty text.
  std::optional<std::string> Field(std::string_view name, std::string* failure) {
    const std::optional<ReadText>& field = Of(name);
    if (!field) return std::string();
    if (field->too_long) {
      *failure = Fail(name, "is longer than " + std::to_string(kMaxValueBytes) + " bytes");
      return std::nullopt;
    }
    if (!gbk_.Encode(field->text, &gbk_text_)) {
      *failure = Label() + ": " + std::string(name) + ": '" + field->text +
                 "' has a character GBK cannot represent";
      return std::nullopt;
    }
    return std::string(TrimBlanks(gbk_text_));
  }

  std::optional<std::int32_t> Integer(std::string_view name, std::string* failure) {
    const auto text = Field(name, failure);
    if (!text) return std::nullopt;
    const auto value = ParseInteger(*text);
    if (!value) *failure = Fail(name, Shown(name) + " is not an integer");
    return value;
  }

  std::optional<double> Number(std::string_view name, std::string* failure) {
    const auto text = Field(name, failure);
    if (!text) return std::nullopt;
    const auto value = ParseNumber(*text);
    if (!value) *failure = Fail(name, Shown(name) + " is not a number");
    return value;
  }

  std::string Fail(std::string_view name, const std::string& what) const {
    return Label() + ": " + std::string(name) + " " + what;
  }

 private:
  const std::optional<ReadText>& Of(std::string_view name) const {
    if (name == kFieldNames[0]) return fields_.waste;
    if (name == kFieldNames[1]) return fields_.kind;
    if (name == kFieldNames[2]) return fields_.rate;
    if (name == kFieldNames[3]) return fields_.amount;
    return fields_.tax;
  }

  std::string Label() const { return ItemLabel("invoice", position_, name_, kInvoiceName); }

  // The field as the export has it (UTF-8), for the detail.
  std::string Shown(std::string_view name) const {
    const std::optional<ReadText>& field = Of(name);
    if (!field) return "(missing)";
    const std::string text(TrimBlanks(field->text));
    return text.empty() ? "(empty)" : "'" + text + "'";
  }

  const InvoiceFields& fields_;
  std::size_t position_;
  std::string_view name_;
  GbkEncoder& gbk_;
  std::string gbk_text_;
};

// Reads an invoice export in one pass: the first invoice list under the
// root, and in each of its invoices the first child element of each field's
// name. Each invoice is totalled as it closes, so memory does not grow with
// the list.
class InvoiceReader final : public ExportHandler {
 public:
  void OnChild(std::size_t depth, std::size_t, NodeType type, std::string_view name) override {
    const bool element = type == NodeType::kElement;
    switch (depth) {
      case kRootDepth:
        root_ok_ = name == kVatRoot;
        if (!root_ok_) findings_.Note(kRoot, WrongRoot(name, kVatRoot), Cause::kWrongRoot);
        break;
      case kListDepth:
        if (root_ok_ && element && !list_seen_ && name == kVatList) list_seen_ = in_list_ = true;
        if (root_ok_ && element && !header_seen_ && name == kVatHeader) {
          header_seen_ = in_header_ = true;
        }
        break;
      case kInvoiceDepth:
        if (in_header_ && element) header_.Open(name);
        if (!in_list_) break;
        invoice_open_ = true;
        invoice_element_ = element;
        invoice_name_.assign(element ? name : std::string_view());
        fields_ = InvoiceFields();
        break;
      case kFieldDepth:
        if (invoice_open_ && invoice_element_ && element) OpenField(name);
        break;
      default:
        break;
    }
  }

  void OnData(std::size_t depth, std::string_view data) override {
    if (field_ != nullptr && depth >= kFieldDepth) field_->Add(data);
    if (header_.open() && depth >= kInvoiceDepth) header_.Add(data);
  }

  void OnDataEnd(std::size_t depth) override {
    // A text or CDATA invoice ends with its data.
    if (invoice_open_ && !invoice_element_ && depth == kListDepth) CloseInvoice();
  }

  void OnEnd(std::size_t depth) override {
    switch (depth) {
      case kRootDepth:
        if (root_ok_ && !list_seen_) {
          findings_.Note(kList, MissingPart(ListPath()), Cause::kMissingSection);
        }
        break;
      case kListDepth:
        in_header_ = false;
        if (in_list_) {
          in_list_ = false;
          if (invoices_ == 0) findings_.Note(kList, EmptyPart(ListPath()), Cause::kEmptyPart);
        }
        break;
      case kInvoiceDepth:
        if (in_header_) header_.Close();
        if (invoice_open_ && invoice_element_) CloseInvoice();
        break;
      case kFieldDepth:
        if (field_ != nullptr) {
          *field_slot_ = ReadText{field_->text(), field_->too_long()};
          field_ = nullptr;
        }
        break;
      default:
        break;
    }
  }

  VatTotals Finish() {
    findings_.ThrowFirst();
    totals_.header = header_.Take();
    return totals_;
  }

 private:
  static std::string ListPath() { return std::string(kVatRoot) + "/" + std::string(kVatList); }

  void OpenField(std::string_view name) {
    std::optional<ReadText>* slots[] = {&fields_.waste, &fields_.kind, &fields_.rate,
                                        &fields_.amount, &fields_.tax};
    for (std::size_t i = 0; i < kFieldNames.size(); ++i) {
      if (name != kFieldNames[i] || slots[i]->has_value()) continue;
      field_slot_ = slots[i];
      field_slot_->emplace();
      field_ = &text_;
      field_->Clear();
      return;
    }
  }

  void CloseInvoice() {
    invoice_open_ = false;
    const std::size_t position = invoices_++;
    // After the first failing invoice, the totals are of no use.
    if (findings_.Has(kInvoice)) return;
    if (auto failure = AddInvoice(fields_, position, invoice_name_, gbk_, &totals_)) {
      findings_.Note(kInvoice, std::move(*failure), Cause::kBadItem);
    }
  }

  Findings findings_;
  GbkEncoder gbk_;
  VatTotals totals_;
  HeaderReader header_;
  bool header_seen_ = false;
  bool in_header_ = false;
  bool root_ok_ = false;
  bool list_seen_ = false;
  bool in_list_ = false;
  std::size_t invoices_ = 0;
  bool invoice_open_ = false;
  bool invoice_element_ = false;
  std::string invoice_name_;
  InvoiceFields fields_;
  TextValue text_;                                 // the field being read
  TextValue* field_ = nullptr;                     // &text_ while a field is open
  std::optional<ReadText>* field_slot_ = nullptr;  // where it goes when it closes
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

std::optional<std::string> AddInvoice(const InvoiceFields& fields, std::size_t position,
                                      std::string_view name, GbkEncoder& gbk, VatTotals* totals) {
  Invoice invoice(fields, position, name, gbk);
  std::string failure;
  ++totals->invoices;
  // A voided invoice is skipped before its other fields are read.
  const auto waste = invoice.Field("Waste", &failure);
  if (!waste) return failure;
  if (*waste == "1") {
    ++totals->voided;
    return std::nullopt;
  }
  const auto kind = invoice.Integer("InvKind", &failure);
  if (!kind) return failure;
  const auto rate = invoice.Integer("TaxRate", &failure);
  if (!rate) return failure;
  const auto amount = invoice.Number("Amount", &failure);
  if (!amount) return failure;
  const auto tax = invoice.Number("Tax", &failure);
  if (!tax) return failure;
  const auto column = RateColumn(*rate);
  if (!column) {
    ++totals->ignored;
    return std::nullopt;
  }
  // A kind with no row would have to be dropped or added elsewhere; both
  // would file figures the export does not hold.
  if (*kind < 0 || *kind >= kKinds) {
    return invoice.Fail("InvKind",
                        std::to_string(*kind) + " is outside 0 to " + std::to_string(kKinds - 1));
  }
  auto& row = totals->cells[static_cast<std::size_t>(*kind)];
  row[*column] += 1.0;
  row[*column + 1] += *amount;
  row[*column + 2] += *tax;
  // Each figure is finite, but a sum of them need not be; a total that
  // cannot be written must not file as something else.
  if (!std::isfinite(row[*column + 1])) return invoice.Fail("Amount", "makes its total overflow");
  if (!std::isfinite(row[*column + 2])) return invoice.Fail("Tax", "makes its total overflow");
  ++totals->counted;
  if (*kind == 1) ++totals->kind_one;
  return std::nullopt;
}

Values ReadVatScheduleOne(const KindEntry&, const std::string& xml_path,
                          const ReadProgress& progress) {
  InvoiceReader reader;
  ReadExport(xml_path, reader, progress);
  return reader.Finish();
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
