// The item walk and the rebuild that the balance sheet and the income
// statement share.
#include "transfer/row_tables.h"

#include "core/error.h"
#include "transfer/export_reading.h"
#include "xml/export_reader.h"

namespace sbrep {
namespace {

constexpr std::string_view kRoot = "DZSBB";
constexpr std::size_t kLabel = 0;
constexpr std::size_t kFirstValue = 2;
constexpr std::size_t kSecondValue = 3;

// The value goes into the line as it reads; only its code page changes. A
// line break cannot: it would split the line and shift every later one.
std::string ReadValue(const std::string& label, const ExportNode& item, std::size_t child) {
  const std::string where = label + ", child " + std::to_string(child);
  const std::string text = NodeText(ChildAt(item, child));
  if (text.find_first_of("\r\n") != std::string::npos) {
    ThrowExportError(where + ": '" + text + "' has a line break");
  }
  return GbkOrThrow(text, where);
}

}  // namespace

RowValues ReadRowTable(const RowTable& table, std::string_view title, const std::string& xml_path,
                       const ReadProgress& progress) {
  RowValues values;
  values.rows.assign(table.rows, RowValues::Row());

  ExportDocument document = LoadExport(xml_path, progress);
  RequireRoot(document, kRoot);
  const std::string section(table.section);
  const std::string root_path(kRoot);
  const ExportNode section_node = RequirePart(Root(document), root_path, section, false);
  const std::string section_path = root_path + "/" + section;
  AddHeaderFields(RequirePart(section_node, section_path, section + "_JG", true), &values.header);
  AddHeaderFields(RequirePart(section_node, section_path, section + "_BTXX", true), &values.header);
  const ExportNode list = RequirePart(section_node, section_path, section + "_MXXX", false);

  // Items are matched to rows by position, so a surplus means the export
  // does not fit the table; filing its first rows could file wrong figures.
  values.items = ChildCount(list);
  if (values.items > table.rows) {
    ThrowExportError(std::string(title) + " has " + std::to_string(values.items) +
                     " items, the table has " + std::to_string(table.rows) + " rows");
  }
  for (std::size_t k = 0; k < values.items; ++k) {
    const ExportNode item = ChildAt(list, k);
    const std::string label = ItemLabel("item", k, item, table.item_name);
    const std::size_t children = ChildCount(item);
    if (children <= kSecondValue) {
      ThrowExportError(label + " has " + std::to_string(children) + " children, " +
                       std::to_string(kSecondValue + 1) + " needed");
    }
    values.rows[k].label = NodeText(ChildAt(item, kLabel));
    values.rows[k].first = ReadValue(label, item, kFirstValue);
    values.rows[k].second = ReadValue(label, item, kSecondValue);
  }
  CloseExport(document);
  return values;
}

TableLines BuildRowTable(const RowTable& table, std::string_view file_name,
                         const TableLines& old_lines, const RowValues& values) {
  std::vector<std::string> body;
  body.reserve(table.rows + table.marker_count);
  std::size_t marker = 0;
  for (std::size_t r = 0; r < table.rows; ++r) {
    const int row = static_cast<int>(r + 1);
    const RowValues::Row& value = values.rows[r];
    body.push_back(FormatDataLine(row + table.tag_offset, row, {value.first, value.second}));
    if (marker < table.marker_count && table.marker_rows[marker] == row) {
      body.push_back(FormatMarkerLine((table.first_marker_digit + static_cast<int>(marker)) % 16));
      ++marker;
    }
  }
  return RebuildTable(old_lines, table.header, body, table.trailer_begin, table.trailer_end,
                      file_name);
}

}  // namespace sbrep
