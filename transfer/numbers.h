// The number conversions of invoice fields and the "0.00" format of totals.
// Locale-independent on every platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sbrep {

// An optional sign and one or more ASCII digits, within 32 bits.
std::optional<std::int32_t> ParseInteger(std::string_view text);
// An optional sign, digits with at most one '.', at least one digit, and an
// optional exponent. No grouping, no inf or nan, no hex; finite only.
std::optional<double> ParseNumber(std::string_view text);

// Two decimals, rounded half away from zero after reducing to 15 significant
// digits; never an exponent, never "-0.00".
std::string FormatAmount(double value);

}  // namespace sbrep
