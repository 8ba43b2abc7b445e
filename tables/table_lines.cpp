// STUB: to be implemented.
#include "tables/table_lines.h"

#include <stdexcept>

namespace sbrep {
const std::string& TableLines::LineAt(std::size_t) const { throw std::logic_error("stub"); }
void TableLines::AppendLine(std::string) { throw std::logic_error("stub"); }
void TableLines::InsertLine(std::size_t, std::string) { throw std::logic_error("stub"); }
void TableLines::ReplaceLine(std::size_t, std::string) { throw std::logic_error("stub"); }
TableLines SplitTableLines(std::string_view) { throw std::logic_error("stub"); }
std::string JoinTableLines(const TableLines&) { throw std::logic_error("stub"); }
TableLines LoadTableLines(const std::string&) { throw std::logic_error("stub"); }
void SaveTableLines(const TableLines&, const std::string&) { throw std::logic_error("stub"); }
std::string FormatDataLine(int, int, const std::vector<std::string>&) {
  throw std::logic_error("stub");
}
std::string FormatMarkerLine(int) { throw std::logic_error("stub"); }
TableLines RebuildTable(const TableLines&, std::size_t, const std::vector<std::string>&,
                        std::size_t, std::size_t, std::string_view) {
  throw std::logic_error("stub");
}
TableLines PatchTable(const TableLines&, const std::vector<Patch>&, std::string_view) {
  throw std::logic_error("stub");
}
}  // namespace sbrep
