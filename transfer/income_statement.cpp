// The income statement, kind 2: 17 rows in its table, each tag one ahead of
// its row number, which makes the tag the line's own position.
#include "transfer/row_tables.h"

namespace sbrep {

extern const RowTable kIncomeStatementRows = {
    "SB_SYB",     // section
    "SB_SYB_XM",  // item_name
    17,           // rows
    1,            // tag_offset
    2,            // header
    19,           // trailer_begin
    23,           // trailer_end
    nullptr,      // marker_rows
    0,            // marker_count
    0,            // first_marker_digit
};

}  // namespace sbrep
