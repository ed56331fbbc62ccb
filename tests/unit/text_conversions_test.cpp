#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/conversions.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(DecTextTest, SignAndExtremes) {
  EXPECT_EQ(DecText(0), "0");
  EXPECT_EQ(DecText(-7), "-7");
  EXPECT_EQ(DecText(-2147483648LL), "-2147483648");
  EXPECT_EQ(DecText(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
}

TEST(HexTextTest, PatternsAndMinimumDigits) {
  struct Case { int64_t n; int k; const char* want; };
  const std::vector<Case> cases = {
      {255, 4, "00FF"},   {0x12345, 4, "12345"}, {-1, 4, "FFFFFFFF"},
      {0, 4, "0000"},     {0, 0, "0"},           {0xABCD, 2, "ABCD"},
      {-16, 0, "FFFFFFF0"}, {0x1FFFFFFFFLL, 4, "FFFFFFFF"},  // only the low 32 bits count
      {1, 10, "0000000001"}, {1, 33, "1"},       {1, -3, "1"},
  };
  for (const Case& c : cases) EXPECT_EQ(HexText(c.n, c.k), c.want) << c.n << " k=" << c.k;
}

TEST(BcdFreqTextTest, DigitsPassThrough) {
  EXPECT_EQ(BcdFreqText(0x1825), "118.25");
  EXPECT_EQ(BcdFreqText(0x0800), "108.00");
  EXPECT_EQ(BcdFreqText(0x1830), "118.30");
  EXPECT_EQ(BcdFreqText(0x1A2F), "11A.2F");
}

struct FixedCase {
  double x;
  int width;
  int decimals;
  const char* want;
};

void ExpectFixed(const std::vector<FixedCase>& cases) {
  for (const FixedCase& c : cases) {
    EXPECT_EQ(FixedText(c.x, c.width, c.decimals), c.want)
        << "x=" << c.x << " w=" << c.width << " d=" << c.decimals;
  }
}

TEST(FixedTextTest, WorkedValuesAndPadding) {
  ExpectFixed({
      {2.5, 13, 8, "   2.50000000"},
      {-45.123456789, 13, 8, " -45.12345679"},
      {0.125, 3, 1, "0.1"},
      {123.4, 3, 1, "123.4"},
      {7.0, 3, 1, "7.0"},
      {0.0, 15, 10, "   0.0000000000"},
      {-0.4, 3, 0, " -0"},
      {123.456, -5, -2, "123"},  // negative width and decimals count as zero
  });
}

TEST(FixedTextTest, RoundingIsHalfUpOnEighteenDigits) {
  ExpectFixed({
      {9.999, 0, 2, "10.00"},      // carry through nines grows the integer part
      {0.125, 0, 2, "0.13"},       // half up, where ties-to-even printing gives 0.12
      {0.5, 0, 0, "1"},
      {2.5, 0, 0, "3"},
      {99.95, 0, 1, "100.0"},      // 99.9500000000000028...
      {5e-9, 13, 8, "   0.00000001"},
      {1.0000000000000002, 13, 8, "   1.00000000"},
      // Exact value 1.000003814697265625: the eighteenth digit is a tie, rounded to even.
      {1.0 + std::ldexp(1.0, -18), 0, 17, "1.00000381469726562"},
      // Exact value 1612608.616961760446...: eighteen digits give ...6045, which then rounds
      // up at ten decimals; rounding the exact value directly would give ...7604.
      {1612608.6169617604, 15, 10, "1612608.6169617605"},
      // Digits beyond the eighteenth are zeros, not the binary value's further digits.
      {std::ldexp(1.0, 70), 13, 8, "1180591620717411300000.00000000"},
      {std::nextafter(1e36, 0.0), 13, 8, "999999999999999895000000000000000000.00000000"},
  });
}

TEST(FixedTextTest, SignComesFromTheSignBit) {
  ExpectFixed({
      {-0.0, 13, 8, "  -0.00000000"},
      {-0.000000001, 13, 8, "  -0.00000000"},
      {-0.04, 3, 1, "-0.0"},
      {0.04, 3, 1, "0.0"},
  });
}

TEST(FixedTextTest, ExponentFormFromTenToThe36) {
  ExpectFixed({
      {1.0E40, 13, 8, " 1.0000E+0040"},
      {1.23456789e40, 13, 8, " 1.2346E+0040"},
      {-1.23456789e40, 13, 8, "-1.2346E+0040"},
      {1e36, 13, 8, " 1.0000E+0036"},
      {9.99996e40, 13, 8, " 1.0000E+0041"},  // carry moves the exponent
      {1e300, 15, 10, " 1.000000E+0300"},
      {1e40, 3, 1, " 1.0E+0040"},             // at least two digits
      {1e40, 30, 8, "     1.00000000000000003E+0040"},  // at most eighteen, then blanks
  });
}

TEST(FixedTextTest, NotANumberAndInfinities) {
  ExpectFixed({
      {kNaN, 13, 8, "          Nan"},
      {-kNaN, 2, 0, "Nan"},
      {kInf, 13, 8, "         +Inf"},
      {-kInf, 3, 1, "-Inf"},
  });
  EXPECT_EQ(FixedText(kInf, 300, 1).size(), 255u);  // width is limited to 255
}

TEST(FixedTextTest, DecimalPointIgnoresTheLocale) {
  const char* applied = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    applied = std::setlocale(LC_ALL, name);
    if (applied != nullptr) break;
  }
  if (applied == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  const std::string two = FixedText(2.5, 13, 8);
  const std::string neg = FixedText(-45.123456789, 13, 8);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(two, "   2.50000000");
  EXPECT_EQ(neg, " -45.12345679");
}

std::string IntValueError(const std::string& text) {
  try {
    IntValue(text);
  } catch (const RequestError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(IntValueTest, Accepts) {
  struct Case { const char* text; int32_t want; };
  const std::vector<Case> cases = {
      {"0", 0},           {" 12", 12},           {"   -7", -7},
      {"+12", 12},        {"0118", 118},         {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"-$10", -16},      {"0x1f", 31},          {"0X1F", 31},
      {"x10", 16},        {"X10", 16},           {"$1825", 6181},
      {"$FFFFFFFF", -1},  {"$80000000", std::numeric_limits<int32_t>::min()},
      {"-$80000000", std::numeric_limits<int32_t>::min()},
      {"$000000001", 1},  // leading zeros are not significant digits
      {"+$abcdef", 0xABCDEF},
      {"00000000000000000000042", 42},
  };
  for (const Case& c : cases) {
    EXPECT_NO_THROW(EXPECT_EQ(IntValue(c.text), c.want) << '"' << c.text << '"');
  }
}

TEST(IntValueTest, RejectsWithTheWholeText) {
  const std::vector<std::string> bad = {
      "",      "$",      "12 ",   "1.5",     "--5",        "+-5",   "- 5",   " ",
      "0x",    "x",      "1F",    "$G1",     "$-10",       "0x-1",  "$123456789",
      "2147483648", "-2147483649", "99999999999999999999", "\t12", "1,000", "1e3",
  };
  for (const std::string& text : bad) {
    EXPECT_EQ(IntValueError(text), "'" + text + "' is not a valid integer value");
  }
  EXPECT_THROW(IntValue(std::string("1\0", 2)), RequestError);
}

TEST(BitStringTest, WidthsAndEdges) {
  struct Case { int64_t value; int width; const char* want; };
  const std::vector<Case> cases = {
      {5, 8, "00000101"},       {0, 10, "0000000000"},  {1023, 10, "1111111111"},
      {-1, 8, "00000000"},      {0x80000000LL, 8, "00000000"},  // negative as 32 bits
      {0x1FF, 8, "11111111"},   {0x305, 8, "00000101"},  // bits above the width dropped
      {0x7FFFFFFF, 4, "1111"},  {3, 0, ""},              {3, -2, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(BitString(c.value, c.width), c.want) << c.value;
  EXPECT_EQ(BitString(0x40000000, 40), "0000000001" + std::string(30, '0'));
}

TEST(BitStringValueTest, ReadsFromTheEnd) {
  struct Case { std::string text; uint32_t want; };
  const std::vector<Case> cases = {
      {"", 0},  {"000", 0},  {"00000101", 5},  {"1x1", 5},  {"1", 1},  {"10", 2},
      {std::string(32, '1'), 0xFFFFFFFFu},
      {std::string(8, '0') + "1" + std::string(31, '0'), 0x80000000u},
      {"1" + std::string(32, '0'), 0},  // a 33rd bit has no place in the value
  };
  for (const Case& c : cases) EXPECT_EQ(BitStringValue(c.text), c.want) << c.text;
}

TEST(PadTest, LeftAndRight) {
  EXPECT_EQ(PadLeft("-5", 4, '0'), "00-5");
  EXPECT_EQ(PadLeft("123456", 5, '0'), "123456");
  EXPECT_EQ(PadLeft("12345", 5, '0'), "12345");
  EXPECT_EQ(PadLeft("", 5, '0'), "");
  EXPECT_EQ(PadLeft("7", 3, ' '), "  7");
  EXPECT_EQ(PadRight("ab", 5, '.'), "ab...");
  EXPECT_EQ(PadRight("", 5, '.'), "");
  EXPECT_EQ(PadRight("abcdef", 5, '.'), "abcdef");
}

TEST(TrimTextTest, ControlCharactersAndBlanks) {
  EXPECT_EQ(TrimText("  ab c \r\n"), "ab c");
  EXPECT_EQ(TrimText(std::string("\0\tx\x1f", 4)), "x");
  EXPECT_EQ(TrimText("    "), "");
  EXPECT_EQ(TrimText(""), "");
  EXPECT_EQ(TrimText("\xA0x\xA0"), "\xA0x\xA0");  // bytes above 127 are not blanks
}

TEST(ErrorDisplayTextTest, FullStopOnlyAfterCharactersSortingAfterIt) {
  EXPECT_EQ(ErrorDisplayText("'x' is not a valid integer value"),
            "'x' is not a valid integer value.");
  EXPECT_EQ(ErrorDisplayText("Floating point overflow"), "Floating point overflow.");
  EXPECT_EQ(ErrorDisplayText("Done."), "Done.");
  EXPECT_EQ(ErrorDisplayText("Why?"), "Why?.");  // '?' sorts after '.'
  EXPECT_EQ(ErrorDisplayText("Wait!"), "Wait!");  // '!' sorts before '.'
  EXPECT_EQ(ErrorDisplayText("a-"), "a-");
  EXPECT_EQ(ErrorDisplayText("caf\xE9"), "caf\xE9.");  // unsigned compare
  EXPECT_EQ(ErrorDisplayText(""), "");
}

}  // namespace
}  // namespace tavelor
