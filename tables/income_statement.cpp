// The income statement, kind 2: 17 rows in TABLE09.dat, each tag one ahead
// of its row number, which makes the tag the line's own position.
#include "tables/row_tables.h"

namespace sbrep {
namespace {

constexpr RowTable kIncomeStatement = {
    "SB_SYB",            // section
    "SB_SYB_XM",         // item_name
    "income statement",  // title
    "TABLE09.dat",       // file_name
    17,                  // rows
    1,                   // tag_offset
    2,                   // header
    19,                  // trailer_begin
    23,                  // trailer_end
    nullptr,             // marker_rows
    0,                   // marker_count
    0,                   // first_marker_digit
    true,                // store_message_on_load
};

}  // namespace

RowValues ReadIncomeStatement(const std::string& xml_path) {
  return ReadRowTable(kIncomeStatement, xml_path);
}

TableLines BuildIncomeStatement(const TableLines& old_lines, const RowValues& values) {
  return BuildRowTable(kIncomeStatement, old_lines, values);
}

}  // namespace sbrep
