// The item walk and the rebuild that the balance sheet and the income
// statement share: two value texts per row, taken from one item each.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tables/writers.h"

namespace sbrep {

// Where one row table's figures come from and where its lines go.
struct RowTable {
  std::string_view section;    // "SB_ZCFZB"; the parts are section + _JG, _BTXX, _MXXX
  std::string_view item_name;  // the expected item name, for details only
  std::string_view title;      // "balance sheet", for details only
  std::string_view file_name;  // "TABLE08.dat"
  std::size_t rows;
  int tag_offset;  // the tag of row r is r + tag_offset
  std::size_t header;
  std::size_t trailer_begin;
  std::size_t trailer_end;
  const int* marker_rows;  // a marker line follows each of these rows, in order
  std::size_t marker_count;
  int first_marker_digit;      // later markers count up from it, modulo 16
  bool store_message_on_load;  // stores "XML文件解析出错!" once the export loads
};

RowValues ReadRowTable(const RowTable& table, const std::string& xml_path);
TableLines BuildRowTable(const RowTable& table, const TableLines& old_lines,
                         const RowValues& values);

}  // namespace sbrep
