// Number conversions by exact decimal arithmetic on integers: the same
// correctly rounded results as the floating-point conversions of the C++
// library, without their tables, and independent of the locale, the C
// runtime and the floating-point unit's precision.
#include "transfer/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
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

// The number of bits of value, by halves.
int BitWidth(std::uint64_t value) {
  int bits = 0;
  for (int half = 32; half > 0; half /= 2) {
    if ((value >> half) != 0) {
      value >>= half;
      bits += half;
    }
  }
  return bits + static_cast<int>(value);
}

// A non-negative integer of up to 4096 bits, in 32-bit limbs from the
// lowest. The widest value met is a 57-bit quotient shifted over 10^1126,
// the divisor of an amount of 801 kept digits near the smallest double.
class Big {
 public:
  explicit Big(std::uint64_t value) {
    while (value != 0) {
      limb_[size_++] = static_cast<std::uint32_t>(value);
      value >>= 32;
    }
  }

  // Copies only the limbs in use: the others are never set.
  Big(const Big& other) : size_(other.size_) { std::copy(other.limb_, other.limb_ + size_, limb_); }
  Big& operator=(const Big&) = delete;

  bool IsZero() const { return size_ == 0; }

  // *this = *this * factor + addend.
  void MulAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::size_t i = 0; i < size_; ++i) {
      carry += static_cast<std::uint64_t>(limb_[i]) * factor;
      limb_[i] = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
    if (carry != 0 && size_ < kLimbs) limb_[size_++] = static_cast<std::uint32_t>(carry);
  }

  // *this /= divisor; returns the remainder.
  std::uint32_t Divide(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (std::size_t i = size_; i-- > 0;) {
      remainder = remainder << 32 | limb_[i];
      limb_[i] = static_cast<std::uint32_t>(remainder / divisor);
      remainder %= divisor;
    }
    while (size_ > 0 && limb_[size_ - 1] == 0) --size_;
    return static_cast<std::uint32_t>(remainder);
  }

  void ShiftLeft(int bits) {
    if (size_ == 0) return;
    const std::size_t limbs = static_cast<std::size_t>(bits) / 32;
    const int rest = bits % 32;
    std::size_t size = size_ + limbs + 1;
    if (size > kLimbs) size = kLimbs;
    for (std::size_t i = size; i-- > 0;) {
      const std::uint64_t high = i >= limbs && i - limbs < size_ ? limb_[i - limbs] : 0;
      const std::uint64_t low = i >= limbs + 1 && i - limbs - 1 < size_ ? limb_[i - limbs - 1] : 0;
      limb_[i] = static_cast<std::uint32_t>((high << rest | low >> (32 - rest)) & 0xFFFFFFFFu);
    }
    size_ = size;
    while (size_ > 0 && limb_[size_ - 1] == 0) --size_;
  }

  int BitLength() const {
    if (size_ == 0) return 0;
    return static_cast<int>(size_ - 1) * 32 + BitWidth(limb_[size_ - 1]);
  }

  bool Bit(int index) const {
    if (index < 0 || static_cast<std::size_t>(index / 32) >= size_) return false;
    return (limb_[index / 32] >> (index % 32) & 1) != 0;
  }

  // Whether any bit below index is set.
  bool AnyBelow(int index) const {
    if (index <= 0) return false;
    const std::size_t full = static_cast<std::size_t>(index) / 32;
    for (std::size_t limb = 0; limb < full && limb < size_; ++limb) {
      if (limb_[limb] != 0) return true;
    }
    const int rest = index % 32;
    return rest != 0 && full < size_ && (limb_[full] & ((1u << rest) - 1)) != 0;
  }

  // count bits (at most 64) from index up, as an integer.
  std::uint64_t Bits(int index, int count) const {
    if (count <= 0) return 0;
    const std::size_t first = static_cast<std::size_t>(index) / 32;
    const int offset = index % 32;
    const std::uint64_t low = LimbAt(first) | std::uint64_t{LimbAt(first + 1)} << 32;
    std::uint64_t bits = low >> offset;
    if (offset != 0) bits |= std::uint64_t{LimbAt(first + 2)} << (64 - offset);
    return count < 64 ? bits & ((std::uint64_t{1} << count) - 1) : bits;
  }

  // The decimal digits, without leading zeros ("" for zero).
  std::string Decimal() const {
    Big rest = *this;
    std::string digits;
    while (!rest.IsZero()) {
      std::uint32_t chunk = rest.Divide(1000000000);
      for (int i = 0; i < 9; ++i) {
        digits += static_cast<char>('0' + chunk % 10);
        chunk /= 10;
      }
    }
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    return std::string(digits.rbegin(), digits.rend());
  }

 private:
  static constexpr std::size_t kLimbs = 128;

  std::uint32_t LimbAt(std::size_t limb) const { return limb < size_ ? limb_[limb] : 0; }

  std::uint32_t limb_[kLimbs];  // those from size_ up are never read
  std::size_t size_ = 0;
};

// Multiplies by 10^power or 5^power, in steps that fit a limb.
void MultiplyByPower(Big* value, std::uint32_t base, long power) {
  const std::uint32_t step = base == 10 ? 1000000000u : 1220703125u;  // 10^9, 5^13
  const long per_step = base == 10 ? 9 : 13;
  for (; power >= per_step; power -= per_step) value->MulAdd(step, 0);
  std::uint32_t last = 1;
  for (; power > 0; --power) last *= base;
  value->MulAdd(last, 0);
}

double Encode(std::uint64_t mantissa, long exponent, bool negative);

// The double nearest value * 2^power, ties to even; inexact: the exact value
// lies above value * 2^power, by less than 2^power. It is then at least
// 57 bits long, or so long that its lowest bit is below the smallest double.
double Nearest(const Big& value, long power, bool inexact, bool negative) {
  const int length = value.BitLength();
  // The lowest bit kept: 53 bits, fewer below the normal range.
  long low = length - 53;
  if (low + power < -1074) low = -1074 - power;
  std::uint64_t mantissa;
  if (low <= 0) {
    mantissa = value.Bits(0, length) << -low;
  } else {
    mantissa = value.Bits(static_cast<int>(low), length - static_cast<int>(low));
    const bool half = value.Bit(static_cast<int>(low - 1));
    const bool above = inexact || value.AnyBelow(static_cast<int>(low - 1));
    if (half && (above || (mantissa & 1) != 0)) ++mantissa;
  }
  return Encode(mantissa, low + power, negative);
}

// The double mantissa * 2^exponent, for a mantissa of 53 bits, or fewer with
// the exponent of the smallest double, or one rounded up to 2^53.
double Encode(std::uint64_t mantissa, long exponent, bool negative) {
  if (mantissa == std::uint64_t{1} << 53) {
    mantissa >>= 1;
    ++exponent;
  }
  std::uint64_t bits = 0;
  if (mantissa >= std::uint64_t{1} << 52) {
    const long biased = exponent + 52 + 1023;
    bits = biased >= 2047 ? std::uint64_t{2047} << 52
                          : static_cast<std::uint64_t>(biased) << 52 |
                                (mantissa & ((std::uint64_t{1} << 52) - 1));
  } else {
    bits = mantissa;  // subnormal: exponent is -1074
  }
  if (negative) bits |= std::uint64_t{1} << 63;
  double result;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

// What the syntax of a number says of its value.
struct ScannedNumber {
  bool negative = false;
  bool nonzero = false;  // a mantissa digit is not 0
  long top = 0;          // the power of ten of that first digit, the exponent applied
};

// The number's syntax: an optional sign, digits with at most one '.', at
// least one digit, and an optional exponent; nothing when it is not that.
std::optional<ScannedNumber> ScanNumber(std::string_view text) {
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
  return ScannedNumber{text[0] == '-', nonzero, leading_power + exponent};
}

// The significant digits of a scanned number as an integer: those kept in
// `digits`, the last few still in `chunk` (scale is 10 to their count).
struct Significand {
  Big digits{0};
  std::uint64_t leading = 0;  // the first 19 of them
  long kept = 0;
  std::uint32_t chunk = 0;
  std::uint32_t scale = 1;
};

// Beyond 800 digits only whether any is non-zero counts: no halfway point
// between two doubles has more than 767, so a final 1 in their place rounds
// the same way.
Significand TakeDigits(std::string_view text) {
  constexpr long kKeptDigits = 800;
  Significand s;
  bool dropped = false;
  bool started = false;
  const std::size_t n = text.size();
  for (std::size_t j = text[0] == '+' || text[0] == '-' ? 1 : 0;
       j < n && text[j] != 'e' && text[j] != 'E'; ++j) {
    if (text[j] == '.') continue;
    if (!started && text[j] == '0') continue;
    started = true;
    if (s.kept == kKeptDigits) {
      dropped = dropped || text[j] != '0';
      continue;
    }
    s.chunk = s.chunk * 10 + static_cast<std::uint32_t>(text[j] - '0');
    if (s.kept < 19) s.leading = s.leading * 10 + static_cast<std::uint32_t>(text[j] - '0');
    s.scale *= 10;
    ++s.kept;
    if (s.scale == 1000000000u) {
      s.digits.MulAdd(s.scale, s.chunk);
      s.chunk = 0;
      s.scale = 1;
    }
  }
  if (dropped) {
    s.chunk = s.chunk * 10 + 1;
    s.scale *= 10;
    ++s.kept;
  }
  return s;
}

// Most amounts: `leading` of up to 19 digits times 10^power, power 0 to -3.
// Then digits / 10^k = (digits * 2^shift / 5^k) * 2^-(shift + k) with
// 64-bit integers: digits shifted to the top bit, over 5^k < 2^7, leaves 57
// bits.
double NearestOfShort(std::uint64_t leading, long power, bool negative) {
  const int shift = 64 - BitWidth(leading);
  const std::uint64_t shifted = leading << shift;
  // Constant divisors, which compilers turn into multiplications.
  const std::uint64_t five = power == 0 ? 1 : power == -1 ? 5 : power == -2 ? 25 : 125;
  const std::uint64_t quotient = power == 0    ? shifted
                                 : power == -1 ? shifted / 5
                                 : power == -2 ? shifted / 25
                                               : shifted / 125;
  const int low = BitWidth(quotient) - 53;  // 4 or more
  std::uint64_t mantissa = quotient >> low;
  const bool half = (quotient >> (low - 1) & 1) != 0;
  const bool above =
      quotient * five != shifted || (quotient & ((std::uint64_t{1} << (low - 1)) - 1)) != 0;
  if (half && (above || (mantissa & 1) != 0)) ++mantissa;
  return Encode(mantissa, low - shift + power, negative);
}

}  // namespace

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
  const auto scanned = ScanNumber(text);
  if (!scanned) return std::nullopt;
  const bool negative = scanned->negative;
  if (!scanned->nonzero) return negative ? -0.0 : 0.0;
  // The value is 0.d1d2... * 10^(top + 1), d1 the first non-zero digit.
  const long top = scanned->top;
  if (top > 308) return std::nullopt;  // at least 10^309
  // Below 10^-324, less than half the smallest double.
  if (top < -325) return negative ? -0.0 : 0.0;

  Significand significand = TakeDigits(text);
  const long power = top + 1 - significand.kept;  // the value is digits * 10^power
  if (significand.kept <= 19 && power <= 0 && power >= -3) {
    return NearestOfShort(significand.leading, power, negative);
  }

  Big& digits = significand.digits;
  digits.MulAdd(significand.scale, significand.chunk);
  long shift = 0;
  bool inexact = false;
  if (power >= 0) {
    MultiplyByPower(&digits, 10, power);
  } else {
    // digits * 2^shift / 10^-power, with 57 bits or more before the point,
    // and whether anything was left after it.
    const long divisor_bits = -power * 3402 / 1024 + 1;  // 3402/1024 > log2(10)
    shift = std::max(0L, 57 + divisor_bits - digits.BitLength());
    digits.ShiftLeft(static_cast<int>(shift));
    long left = -power;
    for (; left >= 9; left -= 9) inexact = digits.Divide(1000000000u) != 0 || inexact;
    std::uint32_t last = 1;
    for (; left > 0; --left) last *= 10;
    inexact = digits.Divide(last) != 0 || inexact;
  }
  const double value = Nearest(digits, -shift, inexact, negative);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::string FormatAmount(double value) {
  // No total is ever infinite or undefined; a blank amount is the least harm.
  if (!std::isfinite(value)) return "0.00";
  // Fifteen significant digits first, so that 1.005 (stored as 1.00499...)
  // rounds as people read it; those round half to even, on the exact value.
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const auto biased = static_cast<long>(bits >> 52 & 2047);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  Big exact(biased != 0 ? fraction | std::uint64_t{1} << 52 : fraction);
  const long power = (biased != 0 ? biased : 1) - 1075;  // |value| = exact * 2^power
  long decimals = 0;                                     // |value| = exact / 10^decimals
  if (power >= 0) {
    exact.ShiftLeft(static_cast<int>(power));
  } else {
    MultiplyByPower(&exact, 5, -power);
    decimals = -power;
  }
  const std::string all = exact.Decimal();
  std::string digits = all.substr(0, 15);
  int exponent = all.empty() ? 0 : static_cast<int>(static_cast<long>(all.size()) - 1 - decimals);
  if (all.size() > 15) {
    const char next = all[15];
    const bool above = all.find_first_not_of('0', 16) != std::string::npos;
    if (next > '5' || (next == '5' && (above || (digits.back() - '0') % 2 == 1))) {
      Increment(&digits);
      if (digits.size() > 15) {
        digits.pop_back();
        ++exponent;
      }
    }
  }
  digits.resize(15, '0');

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
