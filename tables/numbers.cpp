// STUB: to be implemented.
#include "tables/numbers.h"

#include <stdexcept>

namespace sbrep {
std::string_view TrimBlanks(std::string_view) { throw std::logic_error("stub"); }
std::optional<std::int32_t> ParseInteger(std::string_view) { throw std::logic_error("stub"); }
std::optional<double> ParseNumber(std::string_view) { throw std::logic_error("stub"); }
std::string FormatAmount(double) { throw std::logic_error("stub"); }
}  // namespace sbrep
