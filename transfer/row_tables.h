// The item walk and the rebuild that the balance sheet and the income
// statement share: two value texts per row, taken from one item each.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/read_progress.h"
#include "table_file/table_lines.h"
#include "transfer/export_reading.h"
#include "transfer/values.h"

namespace sbrep {

// Where one row table's figures come from and where its lines go.
struct RowTable {
  std::string_view section;    // "SB_ZCFZB"; the parts are section + _JG, _BTXX, _MXXX
  std::string_view item_name;  // the expected item name, for details only
  std::size_t rows;
  int tag_offset;  // the tag of row r is r + tag_offset
  std::size_t header;
  std::size_t trailer_begin;
  std::size_t trailer_end;
  const int* marker_rows;  // a marker line follows each of these rows, in order
  std::size_t marker_count;
  int first_marker_digit;  // later markers count up from it, modulo 16
};

// The root every row table's export has.
constexpr std::string_view kRowTableRoot = "DZSBB";
// The children of an item that hold its own row number (in the usual
// export) and its row's two values.
constexpr std::size_t kRowLabel = 0;
constexpr std::size_t kFirstValue = 2;
constexpr std::size_t kSecondValue = 3;

// One pass over the export. `title` names the table in a detail ("balance
// sheet has more than 58 items"). The pass stops at the first item past the
// table's rows once nothing before it can fail.
RowValues ReadRowTable(const RowTable& table, std::string_view title, const std::string& xml_path,
                       const ReadProgress& progress = {});

// The row's two values from the texts of its item's children at positions 2
// and 3; the detail of the first failure, or nothing. `label` names the item.
std::optional<std::string> TakeRowValues(const std::string& label, const ReadText& first,
                                         const ReadText& second, GbkEncoder& gbk,
                                         RowValues::Row* row);

// "balance sheet has more than 58 items, the table has 58 rows".
std::string TooManyItems(std::string_view title, std::size_t rows);
// `file_name` names the file in a detail ("TABLE08.dat has 80 lines").
TableLines BuildRowTable(const RowTable& table, std::string_view file_name,
                         const TableLines& old_lines, const RowValues& values);

}  // namespace sbrep
