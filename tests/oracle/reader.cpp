#include "oracle/reader.h"

#include "core/error.h"
#include "oracle/document.h"
#include "transfer/export_reading.h"
#include "transfer/row_tables.h"
#include "transfer/vat_schedule_one.h"
#include "xml/text_value.h"

namespace sbrep::oracle {
namespace {

void RequireRoot(const ExportDocument& document, std::string_view expected) {
  const std::string name = RootName(document);
  if (name != expected) ThrowExportError(WrongRoot(name, expected));
}

ExportNode RequirePart(const ExportNode& parent, const std::string& parent_path,
                       std::string_view name, bool filled) {
  const auto part = FindChild(parent, name);
  const std::string path = parent_path + "/" + std::string(name);
  if (!part) ThrowExportError(MissingPart(path));
  if (filled && !HasChildren(*part)) ThrowExportError(EmptyPart(path));
  return *part;
}

// The element children of a header part, the first of each name.
void AddHeaderFields(const ExportNode& part, HeaderFields* header) {
  for (std::size_t i = 0; i < ChildCount(part); ++i) {
    const ExportNode child = ChildAt(part, i);
    std::string name = NodeName(child);
    if (name.empty()) continue;
    bool known = false;
    for (const auto& field : *header) known = known || field.first == name;
    if (!known) header->emplace_back(std::move(name), NodeText(child));
  }
}

ReadText Text(const ExportNode& node) {
  ReadText text{NodeText(node), false};
  text.too_long = text.text.size() > kMaxValueBytes;
  return text;
}

RowValues ReadRows(const RowTable& table, std::string_view title, const std::string& path) {
  RowValues values;
  values.rows.assign(table.rows, RowValues::Row());
  ExportDocument document = LoadExport(path);
  RequireRoot(document, kRowTableRoot);
  const std::string section(table.section);
  const std::string root_path(kRowTableRoot);
  const ExportNode section_node = RequirePart(Root(document), root_path, section, false);
  const std::string section_path = root_path + "/" + section;
  AddHeaderFields(RequirePart(section_node, section_path, section + "_JG", true), &values.header);
  AddHeaderFields(RequirePart(section_node, section_path, section + "_BTXX", true), &values.header);
  const ExportNode list = RequirePart(section_node, section_path, section + "_MXXX", false);
  values.items = ChildCount(list);
  if (values.items > table.rows) ThrowExportError(TooManyItems(title, table.rows));
  GbkEncoder gbk;
  for (std::size_t k = 0; k < values.items; ++k) {
    const ExportNode item = ChildAt(list, k);
    const std::string label = ItemLabel("item", k, NodeName(item), table.item_name);
    const std::size_t children = ChildCount(item);
    if (children <= kSecondValue) {
      ThrowExportError(label + " has " + std::to_string(children) + " children, " +
                       std::to_string(kSecondValue + 1) + " needed");
    }
    values.rows[k].label = NodeText(ChildAt(item, kRowLabel));
    if (auto failure = TakeRowValues(label, Text(ChildAt(item, kFirstValue)),
                                     Text(ChildAt(item, kSecondValue)), gbk, &values.rows[k])) {
      ThrowExportError(*failure);
    }
  }
  CloseExport(document);
  return values;
}

VatTotals ReadInvoices(const VatLayout& layout, const std::string& path) {
  VatTotals totals;
  ExportDocument document = LoadExport(path);
  RequireRoot(document, kVatRoot);
  const ExportNode list = RequirePart(Root(document), std::string(kVatRoot), kVatList, true);
  if (const auto header = FindChild(Root(document), kVatHeader)) {
    AddHeaderFields(*header, &totals.header);
  }
  GbkEncoder gbk;
  for (std::size_t i = 0; i < ChildCount(list); ++i) {
    const ExportNode invoice = ChildAt(list, i);
    const auto field = [&](std::string_view name) -> std::optional<ReadText> {
      const auto element = FindChild(invoice, name);
      if (!element) return std::nullopt;
      return Text(*element);
    };
    const InvoiceFields fields{field("Waste"), field("InvKind"), field("TaxRate"), field("Amount"),
                               field("Tax")};
    if (auto failure = AddInvoice(layout, fields, i, NodeName(invoice), gbk, &totals)) {
      ThrowExportError(*failure);
    }
  }
  CloseExport(document);
  return totals;
}

}  // namespace

Values ReadWhole(const KindEntry& kind, const std::string& path) {
  if (kind.rows != nullptr) return ReadRows(*kind.rows, kind.title, path);
  return ReadInvoices(*kind.vat, path);
}

}  // namespace sbrep::oracle
