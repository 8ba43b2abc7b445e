// Number conversions: the accepted grammar, range limits, and the rounding of
// the "0.00" format.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/text.h"
#include "transfer/numbers.h"

namespace sbrep {
namespace {

TEST(Numbers, TrimBlanksRemovesControlBytesAndSpacesAtBothEnds) {
  const struct {
    std::string_view text;
    std::string_view trimmed;
  } cases[] = {
      {"", ""},
      {"   ", ""},
      {" 12 ", "12"},
      {"\t\r\n1 2\x01", "1 2"},
      {std::string_view("\0x\0", 3), "x"},
      {"\xA1\xA1x", "\xA1\xA1x"},  // a GBK ideographic space is text
      {"x\x7F", "x\x7F"},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimBlanks(c.text), c.trimmed) << c.text;
}

// Both conversions side by side: what an invoice field may hold as a kind or
// rate (integer) and as an amount or tax (number).
TEST(Numbers, ConversionRules) {
  constexpr std::nullopt_t no = std::nullopt;
  const struct {
    std::string_view text;
    std::optional<std::int32_t> integer;
    std::optional<double> number;
  } cases[] = {
      {"0", 0, 0.0},
      {"17", 17, 17.0},
      {"+6", 6, 6.0},
      {"-4", -4, -4.0},
      {"007", 7, 7.0},
      {"2147483647", 2147483647, 2147483647.0},
      {"-2147483648", std::numeric_limits<std::int32_t>::min(), -2147483648.0},
      {"2147483648", no, 2147483648.0},
      {"-2147483649", no, -2147483649.0},
      {"12.5", no, 12.5},
      {"-0.8", no, -0.8},
      {"17.0", no, 17.0},
      {"0.17", no, 0.17},
      {"5.", no, 5.0},
      {".5", no, 0.5},
      {"-.25", no, -0.25},
      {"1e3", no, 1000.0},
      {"1E+3", no, 1000.0},
      {"2.5e-1", no, 0.25},
      {"1e-400", no, 0.0},  // finite, below the smallest double
      {"0.0000000001e-395", no, 0.0},
      {"1e308", no, 1e308},
      {"1e400", no, no},
      {"1000000000000000000000000000000e300", no, no},
      {"", no, no},
      {"+", no, no},
      {"-", no, no},
      {".", no, no},
      {"+.", no, no},
      {"+-1", no, no},
      {"--1", no, no},
      {" 1", no, no},  // the reader trims before converting
      {"1 ", no, no},
      {"1e", no, no},
      {"1e+", no, no},
      {"e5", no, no},
      {"0x10", no, no},
      {"17%", no, no},
      {"1,000", no, no},
      {"1,000.00", no, no},
      {"1.2.3", no, no},
      {"inf", no, no},
      {"-infinity", no, no},
      {"nan", no, no},
      {"1d3", no, no},
      {"\xA3\xB1", no, no},  // a full-width digit one in GBK
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseInteger(c.text), c.integer) << c.text;
    EXPECT_EQ(ParseNumber(c.text), c.number) << c.text;
  }
}

// The nearest double, ties to even, however many digits decide it: the
// halfway point between 1 and the next double, and the same followed by a
// non-zero digit long after the 800th.
TEST(Numbers, ParseNumberRoundsToTheNearestDouble) {
  const std::string halfway = "1.00000000000000011102230246251565404236316680908203125";
  const struct {
    std::string text;
    std::optional<double> number;
  } cases[] = {
      {"9007199254740993", 0x1p53},
      {"9007199254740993.0000000001", 0x1.0000000000001p53},
      {halfway, 1.0},
      {halfway + std::string(800, '0') + "1", 0x1.0000000000001p0},
      {"0.1", 0x1.999999999999ap-4},
      {"2.2250738585072011e-308", 0x0.fffffffffffffp-1022},
      {"2.4703282292062328e-324", 0x0.0000000000001p-1022},
      {"2.4703282292062327e-324", 0.0},
      {"1.7976931348623158e308", 0x1.fffffffffffffp1023},
      {"1.7976931348623159e308", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.number) << c.text;
}

TEST(Numbers, ParseNumberKeepsTheSignOfZero) {
  EXPECT_TRUE(std::signbit(ParseNumber("-0").value()));
  EXPECT_TRUE(std::signbit(ParseNumber("-1e-400").value()));
}

TEST(Numbers, FormatAmountRoundsHalfAwayFromZeroAsWritten) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.0, "0.00"},
      {-0.0, "0.00"},
      {2.0, "2.00"},
      {-20, "-20.00"},
      {-0.8, "-0.80"},
      {1200.5, "1200.50"},
      {1.005, "1.01"},  // stored as 1.00499999...
      {2.675, "2.68"},
      {-0.125, "-0.13"},
      {0.125, "0.13"},
      {1.004999, "1.00"},
      {0.005, "0.01"},
      {0.0049, "0.00"},
      {-0.001, "0.00"},
      {-0.005, "-0.01"},
      {9.995, "10.00"},
      {99999.999, "100000.00"},
      {0.1 + 0.2, "0.30"},
      {123456789.125, "123456789.13"},
      {1e20, "100000000000000000000.00"},
      {-1.5e16, "-15000000000000000.00"},
      {5e-324, "0.00"},
      // The fifteen digits round half to even first.
      {1000000000000005.0, "1000000000000000.00"},
      {1000000000000015.0, "1000000000000020.00"},
      {4503599627370497.5, "4503599627370500.00"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatAmount(c.value), c.text) << c.value;
}

TEST(Numbers, FormatAmountWritesTheLargestDoubleInFull) {
  const std::string text = FormatAmount(std::numeric_limits<double>::max());
  EXPECT_EQ(text.size(), 309u + 3u);
  EXPECT_EQ(text.substr(0, 15), "179769313486232");
  EXPECT_EQ(text.find_first_not_of('0', 15), 309u);  // the '.' follows the zeros
}

}  // namespace
}  // namespace sbrep
