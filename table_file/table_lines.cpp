// Table lines in memory: splitting, joining, the line builders, and the
// rebuild and patch of an old list.
#include "table_file/table_lines.h"

#include <algorithm>

#include "core/error.h"
#include "platform/filesystem.h"

namespace sbrep {
namespace {

std::string Lines(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " line" : " lines");
}

[[noreturn]] void ThrowShort(std::string_view file_name, std::size_t has, std::size_t needed) {
  ThrowTableError(std::string(file_name) + " has " + Lines(has) + ", " + std::to_string(needed) +
                  " needed");
}

[[noreturn]] void ThrowOutOfRange(const char* what, std::size_t index, std::size_t size) {
  ThrowTableError(std::string(what) + " of line " + std::to_string(index) + " in a table of " +
                  Lines(size));
}

}  // namespace

const std::string& TableLines::LineAt(std::size_t index) const {
  if (index >= lines_.size()) ThrowOutOfRange("read", index, lines_.size());
  return lines_[index];
}

void TableLines::AppendLine(std::string line) { lines_.push_back(std::move(line)); }

void TableLines::InsertLine(std::size_t index, std::string line) {
  if (index > lines_.size()) ThrowOutOfRange("insert", index, lines_.size());
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

void TableLines::ReplaceLine(std::size_t index, std::string line) {
  if (index >= lines_.size()) ThrowOutOfRange("replace", index, lines_.size());
  lines_[index] = std::move(line);
}

TableLines SplitTableLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    lines.emplace_back(bytes.substr(start, i - start));
    i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  return TableLines(std::move(lines));
}

std::string JoinTableLines(const TableLines& lines) {
  std::size_t total = 0;
  for (const auto& line : lines.lines()) total += line.size() + 2;
  std::string bytes;
  bytes.reserve(total);
  for (const auto& line : lines.lines()) {
    bytes += line;
    bytes += "\r\n";
  }
  return bytes;
}

TableLines LoadTableLines(const std::string& path) {
  fs::File file;
  std::string bytes;
  fs::Outcome outcome = file.Open(path, fs::OpenMode::kRead);
  if (outcome.ok()) outcome = file.ReadAll(&bytes, kMaxTableBytes);
  if (!outcome.ok()) {
    ThrowTableError("cannot read " + fs::NameOf(path) + ": " + fs::Describe(outcome));
  }
  return SplitTableLines(bytes);
}

std::string FormatDataLine(int tag, int row, const std::vector<std::string>& fields) {
  // The row number is closed by a comma like a field: "L01:1," then one
  // comma after each field.
  std::string line = std::to_string(tag);
  if (line.size() < 2) line.insert(0, 1, '0');
  line = "L" + line + ":" + std::to_string(row) + ",";
  for (const auto& field : fields) {
    line += field;
    line += ',';
  }
  return line;
}

std::string FormatMarkerLine(int digit) {
  if (digit < 0 || digit > 15) ThrowTableError("marker digit " + std::to_string(digit));
  std::string line = "LD";
  line += "0123456789ABCDEF"[digit];
  line += ":,,,";
  return line;
}

TableLines RebuildTable(const TableLines& old_lines, std::size_t header,
                        const std::vector<std::string>& body, std::size_t trailer_begin,
                        std::size_t trailer_end, std::string_view file_name) {
  const std::size_t needed = std::max(header, trailer_end);
  if (old_lines.size() < needed) ThrowShort(file_name, old_lines.size(), needed);
  if (trailer_begin > trailer_end) {
    ThrowTableError("trailer of " + std::string(file_name) + " starts after it ends");
  }
  const auto& old = old_lines.lines();
  std::vector<std::string> lines(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(header));
  lines.reserve(header + body.size() + trailer_end - trailer_begin);
  lines.insert(lines.end(), body.begin(), body.end());
  lines.insert(lines.end(), old.begin() + static_cast<std::ptrdiff_t>(trailer_begin),
               old.begin() + static_cast<std::ptrdiff_t>(trailer_end));
  return TableLines(std::move(lines));
}

TableLines PatchTable(const TableLines& old_lines, const std::vector<Patch>& patches,
                      std::string_view file_name) {
  std::size_t needed = 0;
  for (const auto& patch : patches) needed = std::max(needed, patch.index + 1);
  if (old_lines.size() < needed) ThrowShort(file_name, old_lines.size(), needed);
  TableLines lines = old_lines;
  for (const auto& patch : patches) lines.ReplaceLine(patch.index, patch.line);
  return lines;
}

}  // namespace sbrep
