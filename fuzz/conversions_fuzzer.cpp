// The text conversions over arbitrary reals (every bit pattern, NaNs and infinities included) and
// arbitrary texts. The input's last byte picks the conversion, bytes before it (from the end)
// give the numbers, the front bytes the text. Besides surviving, each conversion must keep the
// promise its callers rely on: a number written as text reads back as that number, a padded or
// trimmed text has the length and ends it should, a rounding lies within a half of its real.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "text/code_page.h"
#include "text/conversions.h"
#include "text/real_math.h"
#include "text/request_error.h"

using namespace tavelor;

namespace {

double AnyReal(FuzzedDataProvider& input) { return std::bit_cast<double>(input.ConsumeIntegral<uint64_t>()); }

// Every byte of the text, as a parse would take it.
bool Parses(const std::string& text, int32_t* value) {
  try {
    *value = IntValue(text);
    return true;
  } catch (const RequestError&) {
    return false;
  }
}

void CheckFixedText(double x, int width, int decimals) {
  const std::string text = FixedText(x, width, decimals);
  const int shown = std::clamp(width, 0, 255);
  FUZZ_CHECK(text.size() >= static_cast<size_t>(shown));
  FUZZ_CHECK(text.find(',') == std::string::npos);
  if (!std::isfinite(x) || std::fabs(x) >= 1e36) return;
  FUZZ_CHECK(std::signbit(x) == (text.find('-') != std::string::npos));
  // The text stands for x to within half a unit of its last decimal plus half a unit of the
  // digits it is cut from (17 decimals below 10, eighteen significant digits from 10 up), and
  // what strtod itself rounds.
  const int d = std::clamp(decimals, 0, 255);
  const double m = std::fabs(x);
  const double back = std::strtod(text.c_str(), nullptr);
  const double tolerance = 0.5 * std::pow(10.0, -d) + 1e-17 * std::max(1.0, m) + 4e-16 * m;
  FUZZ_CHECK(std::fabs(back - x) <= tolerance);
}

template <typename F>
void Checked(F&& f) {
  try {
    f();
  } catch (const RequestError&) {
    // The three real-number faults end a request; they are not crashes.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const uint8_t pick = input.ConsumeIntegral<uint8_t>();
  switch (pick % 10) {
    case 0: {  // the program's (width, decimals) pairs and any others
      static constexpr int kPairs[][2] = {{13, 8}, {15, 10}, {3, 1}};
      const double x = AnyReal(input);
      for (const auto& pair : kPairs) CheckFixedText(x, pair[0], pair[1]);
      CheckFixedText(x, input.ConsumeIntegralInRange(-5, 300), input.ConsumeIntegralInRange(-5, 300));
      break;
    }
    case 1: {  // decimal and hexadecimal texts read back as their numbers
      const int32_t n = input.ConsumeIntegral<int32_t>();
      const int k = input.ConsumeIntegralInRange(-4, 40);
      int32_t back = 0;
      FUZZ_CHECK(Parses(DecText(n), &back) && back == n);
      FUZZ_CHECK(Parses("$" + HexText(n, k), &back) && back == n);
      FUZZ_CHECK(HexText(n, k).size() >= static_cast<size_t>(k > 32 ? 0 : std::max(k, 0)));
      FUZZ_CHECK(BcdFreqText(static_cast<uint16_t>(n)).size() == 6);
      break;
    }
    case 2: {  // any text through the integer parse; what parses prints back the same number
      const std::string text = input.ConsumeRemainingBytesAsString();
      int32_t value = 0;
      if (Parses(text, &value)) {
        int32_t again = 0;
        FUZZ_CHECK(Parses(DecText(value), &again) && again == value);
      }
      break;
    }
    case 3: {  // bit texts
      const int width = input.ConsumeIntegralInRange(-2, 40);
      const int64_t value = input.ConsumeIntegral<int64_t>();
      const std::string bits = BitString(value, width);
      FUZZ_CHECK(bits.size() == static_cast<size_t>(std::max(width, 0)));
      if (width > 0 && width <= 31 && value >= 0 && value < (int64_t{1} << width))
        FUZZ_CHECK(BitStringValue(bits) == static_cast<uint32_t>(value));
      BitStringValue(input.ConsumeRemainingBytesAsString());
      break;
    }
    case 4: {  // padding and trimming
      const size_t width = input.ConsumeIntegralInRange<size_t>(0, 2000);
      const char fill = input.ConsumeIntegral<char>();
      const std::string text = input.ConsumeRemainingBytesAsString();
      const std::string left = PadLeft(text, width, fill), right = PadRight(text, width, fill);
      const size_t want = text.empty() ? 0 : std::max(text.size(), width);
      FUZZ_CHECK(left.size() == want && right.size() == want);
      FUZZ_CHECK(left.compare(left.size() - text.size(), text.size(), text) == 0);
      FUZZ_CHECK(right.compare(0, text.size(), text) == 0);
      const std::string trimmed = TrimText(text);
      FUZZ_CHECK(text.find(trimmed) != std::string::npos);
      if (!trimmed.empty()) {
        FUZZ_CHECK(static_cast<unsigned char>(trimmed.front()) > 32);
        FUZZ_CHECK(static_cast<unsigned char>(trimmed.back()) > 32);
      }
      break;
    }
    case 5: {  // rounding, in double and extended precision
      const double x = AnyReal(input);
      Checked([&] { FUZZ_CHECK(std::fabs(static_cast<long double>(RoundReal(x)) - x) <= 0.5L); });
      const long double e = static_cast<long double>(x) * AnyReal(input);
      Checked([&] { FUZZ_CHECK(std::fabs(static_cast<long double>(RoundExtended(e)) - e) <= 0.5L); });
      break;
    }
    case 6: {  // the checked products and quotients never pass an infinity from finite operands
      const double a = AnyReal(input), b = AnyReal(input);
      Checked([&] {
        const double q = RealDiv(a, b);
        if (std::isfinite(a) && std::isfinite(b)) FUZZ_CHECK(std::isfinite(q));
      });
      Checked([&] {
        const double p = RealMul(a, b);
        if (std::isfinite(a) && std::isfinite(b)) FUZZ_CHECK(std::isfinite(p));
      });
      break;
    }
    default: {  // 8-bit code page to UTF-8: one to three bytes each, never a control byte added
      const std::string text = input.ConsumeRemainingBytesAsString();
      const std::string utf8 = Windows1252ToUtf8(text);
      FUZZ_CHECK(utf8.size() >= text.size() && utf8.size() <= 3 * text.size());
      FUZZ_CHECK(std::count_if(utf8.begin(), utf8.end(), [](char c) { return c > 0 && c < 0x20; }) ==
                 std::count_if(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x20; }));
      break;
    }
  }
  return 0;
}
