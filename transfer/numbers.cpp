// Number conversions through std::from_chars and std::to_chars, which ignore
// the locale and behave the same under every C runtime.
#include "transfer/numbers.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace sbrep {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// from_chars takes a '-' but no '+'.
std::string_view DropPlus(std::string_view text) {
  return !text.empty() && text[0] == '+' ? text.substr(1) : text;
}

// Adds one to a string of decimal digits.
void Increment(std::string* digits) {
  for (auto it = digits->rbegin(); it != digits->rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits->insert(digits->begin(), '1');
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  const std::string_view unsigned_part =
      !text.empty() && (text[0] == '+' || text[0] == '-') ? text.substr(1) : text;
  if (unsigned_part.empty()) return std::nullopt;
  for (char c : unsigned_part) {
    if (!IsDigit(c)) return std::nullopt;
  }
  const std::string_view digits = DropPlus(text);
  std::int32_t value = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<double> ParseNumber(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  // The power of ten of the first non-zero mantissa digit, to tell an
  // underflow (a tiny finite value, read as zero) from an overflow.
  long leading_power = 0;
  bool nonzero = false;
  std::size_t mantissa_digits = 0;
  long integer_digits = 0;
  while (i < n && IsDigit(text[i])) {
    if (!nonzero && text[i] != '0') {
      nonzero = true;
      leading_power = -integer_digits;
    }
    ++integer_digits;
    ++mantissa_digits;
    ++i;
  }
  if (nonzero) leading_power += integer_digits - 1;
  if (i < n && text[i] == '.') {
    ++i;
    long place = -1;
    while (i < n && IsDigit(text[i])) {
      if (!nonzero && text[i] != '0') {
        nonzero = true;
        leading_power = place;
      }
      --place;
      ++mantissa_digits;
      ++i;
    }
  }
  if (mantissa_digits == 0) return std::nullopt;
  long exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t first = i;
    while (i < n && IsDigit(text[i])) {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
      ++i;
    }
    if (i == first) return std::nullopt;
    if (negative) exponent = -exponent;
  }
  if (i != n) return std::nullopt;

  const std::string_view number = DropPlus(text);
  double value = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                      std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range && nonzero && leading_power + exponent < 0) {
    return text[0] == '-' ? -0.0 : 0.0;
  }
  if (result.ec != std::errc() || result.ptr != number.data() + number.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string FormatAmount(double value) {
  // No total is ever infinite or undefined; a blank amount is the least harm.
  if (!std::isfinite(value)) return "0.00";
  // Fifteen significant digits first, so that 1.005 (stored as 1.00499...)
  // rounds as people read it.
  char scientific[32];
  const auto written = std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value),
                                     std::chars_format::scientific, 14);
  const std::string_view text(scientific, static_cast<std::size_t>(written.ptr - scientific));
  // text is "d.ddddddddddddddde[+-]xx".
  std::string digits;
  digits += text[0];
  digits.append(text.substr(2, 14));
  int exponent = 0;
  const std::string_view power = DropPlus(text.substr(text.find('e') + 1));
  std::from_chars(power.data(), power.data() + power.size(), exponent);

  // The value times 100, as digits: keep those down to the hundredths and
  // round half away from zero on the next one.
  const int keep = exponent + 3;
  std::string hundredths;
  if (keep <= 0) {
    hundredths = "0";
    if (keep == 0 && digits[0] >= '5') hundredths = "1";
  } else if (keep >= static_cast<int>(digits.size())) {
    hundredths = digits + std::string(static_cast<std::size_t>(keep) - digits.size(), '0');
  } else {
    hundredths = digits.substr(0, static_cast<std::size_t>(keep));
    if (digits[static_cast<std::size_t>(keep)] >= '5') Increment(&hundredths);
  }
  const auto first = hundredths.find_first_not_of('0');
  const bool zero = first == std::string::npos;
  hundredths = zero ? std::string() : hundredths.substr(first);
  if (hundredths.size() < 3) hundredths.insert(0, 3 - hundredths.size(), '0');
  hundredths.insert(hundredths.size() - 2, 1, '.');
  return (value < 0 && !zero ? "-" : "") + hundredths;
}

}  // namespace sbrep
