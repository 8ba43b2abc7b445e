// A filing table file held in memory as a list of GBK byte-string lines, the
// line builders of the client's grammar, and the two ways a transfer changes
// a file: rebuild and patch. Every failure throws an Error (Fault::kTable).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sbrep {

// Table files are a few kilobytes; anything near this is not a table. Reading
// refuses more, and so saving never writes more.
constexpr std::uint64_t kMaxTableBytes = 64u << 20;

class TableLines {
 public:
  TableLines() = default;
  explicit TableLines(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  std::size_t size() const { return lines_.size(); }
  const std::vector<std::string>& lines() const { return lines_; }

  const std::string& LineAt(std::size_t index) const;
  void AppendLine(std::string line);
  // The index may equal size(); a larger one throws.
  void InsertLine(std::size_t index, std::string line);
  void ReplaceLine(std::size_t index, std::string line);

 private:
  std::vector<std::string> lines_;
};

// Splits bytes at CR LF, lone LF and lone CR. A final line without a break
// counts; a break at the very end starts no line.
TableLines SplitTableLines(std::string_view bytes);
// Every line followed by CR LF, nothing else.
std::string JoinTableLines(const TableLines& lines);

// Reads the whole file; the detail of a failure names it ("cannot read
// TABLE08.dat: access denied (5)"). The save is in table_file/save.h.
TableLines LoadTableLines(const std::string& path);

// "L", the tag with at least two digits, ":", the row, ",", then each field
// followed by ",": tag 1, row 1 and two empty fields give "L01:1,,,".
std::string FormatDataLine(int tag, int row, const std::vector<std::string>& fields);
// "LD", one upper-case hexadecimal digit, ":,,,".
std::string FormatMarkerLine(int digit);

// Header lines 0..header-1, the body, then old lines trailer_begin..trailer_end-1.
// Throws when the old list is short; `file_name` names the file in the detail
// ("TABLE08.dat has 80 lines, 83 needed").
TableLines RebuildTable(const TableLines& old_lines, std::size_t header,
                        const std::vector<std::string>& body, std::size_t trailer_begin,
                        std::size_t trailer_end, std::string_view file_name);

struct Patch {
  std::size_t index;
  std::string line;
};

// The old list with the given lines replaced in order; throws when short.
TableLines PatchTable(const TableLines& old_lines, const std::vector<Patch>& patches,
                      std::string_view file_name);

}  // namespace sbrep
