// A line diff in the unified format, for showing what a transfer would change
// in a table file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace sbrep::cli {

struct DiffLabels {
  std::string old_name;  // after "--- "
  std::string new_name;  // after "+++ "
};

// Turns a line's bytes into printable text.
using LineRenderer = std::function<std::string(const std::string&)>;

// A table line's GBK bytes as text a terminal shows as they are: control
// characters, DEL and bytes that are no GBK character as \x1b, a backslash
// as \\, so that no escape sequence reaches the terminal and an escaped
// byte never reads like the same text in the table.
std::string EscapedLine(const std::string& gbk);

// The unified diff from `old_lines` to `new_lines`, with `context` unchanged
// lines around each change. Empty text when the two are equal. Lines compare
// as bytes; `render` only shapes what is printed.
std::string UnifiedDiff(const std::vector<std::string>& old_lines,
                        const std::vector<std::string>& new_lines, const DiffLabels& labels,
                        const LineRenderer& render, std::size_t context = 3);

}  // namespace sbrep::cli
