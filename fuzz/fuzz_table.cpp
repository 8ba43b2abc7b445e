// Fuzzes the table format and the field conversions: splitting a table file
// into lines and joining it again, and reading and formatting figures.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "table_file/table_lines.h"
#include "transfer/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Lines never hold a break, and a joined list splits back into itself.
  const sbrep::TableLines lines = sbrep::SplitTableLines(bytes);
  for (const std::string& line : lines.lines()) {
    if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  }
  const std::string joined = sbrep::JoinTableLines(lines);
  if (sbrep::SplitTableLines(joined).lines() != lines.lines()) __builtin_trap();

  // Whatever converts formats as a plain figure with two decimals.
  (void)sbrep::ParseInteger(bytes);
  if (const auto number = sbrep::ParseNumber(bytes)) {
    if (!std::isfinite(*number)) __builtin_trap();
    const std::string text = sbrep::FormatAmount(*number);
    if (text.size() < 4 || text[text.size() - 3] != '.' || text == "-0.00") __builtin_trap();
    if (text.find_first_not_of("-0123456789.") != std::string::npos) __builtin_trap();
  }
  return 0;
}
