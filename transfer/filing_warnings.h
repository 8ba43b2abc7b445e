// What a check warns of without failing: an export that would file without
// an error but into the wrong rows, as values the client misreads, or into
// another company's or another period's table.
#pragma once

#include <string>
#include <vector>

#include "table_file/table_lines.h"
#include "transfer/values.h"

namespace sbrep {

// Kinds 1 and 2: items that are not in their rows' order, values the
// client reads otherwise, and the header's checks. Each warning one line.
std::vector<std::string> RowTableWarnings(const RowValues& values, const TableLines& old_lines);

// The header's company and period against the table's (the LE and DATE
// lines of `old_lines`).
std::vector<std::string> HeaderWarnings(const HeaderFields& header, const TableLines& old_lines);

}  // namespace sbrep
