// The balance sheet, kind 1: 58 rows and 15 marker lines in its table.
#include "transfer/row_tables.h"

namespace sbrep {
namespace {

// Marker k stands after row kMarkerRows[k] and carries digit 2 + k; the
// last one wraps round to 0, so no marker has the digit 1.
constexpr int kMarkerRows[] = {14, 15, 16, 23, 25, 26, 27, 29, 42, 43, 48, 49, 50, 51, 57};

}  // namespace

extern const RowTable kBalanceSheetRows = {
    "SB_ZCFZB",                                  // section
    "SB_ZCFZB_XM",                               // item_name
    58,                                          // rows
    0,                                           // tag_offset
    3,                                           // header
    76,                                          // trailer_begin
    83,                                          // trailer_end
    kMarkerRows,                                 // marker_rows
    sizeof kMarkerRows / sizeof kMarkerRows[0],  // marker_count
    2,                                           // first_marker_digit
};

}  // namespace sbrep
