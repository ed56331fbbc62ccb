// FixedText: fixed-point text of a real. Digits come from the exact binary value of the
// double via std::to_chars, which is locale-independent and rounds exactly, ties to even, so
// the eighteen significant digits are the same on every machine and compiler.
#include <charconv>
#include <cmath>
#include <string>
#include <utility>

#include "text/conversions.h"

namespace tavelor {

namespace {

constexpr int kMaxWidth = 255;
// Decimals have no natural limit; this bound only keeps a bad argument from asking for an
// enormous text.
constexpr int kMaxDecimals = 255;
constexpr int kSignificantDigits = 18;
// From here on the exponent form is written (no double lies in [10^36, 1e36)).
constexpr double kExponentFrom = 1e36;

// The significant digits of a magnitude: `digits` read as d.ddd... times 10^(intDigits - 1), i.e.
// the first intDigits of them are the integer part.
struct DigitRun {
  std::string digits;
  int intDigits = 1;
};

// Below 10 the digits are round(m * 10^17), so a value under 1 starts with a "0" and carries
// fewer than eighteen significant digits. From 10 up they are the eighteen leading significant
// digits, m / 10^p rounded at 17 places.
DigitRun EighteenDigits(double m) {
  char buf[64];
  DigitRun run;
  if (m < 10.0) {
    const auto res = std::to_chars(buf, buf + sizeof buf, m, std::chars_format::fixed, 17);
    const std::string text(buf, res.ptr);
    const size_t point = text.find('.');
    run.digits = text.substr(0, point) + text.substr(point + 1);
    run.intDigits = static_cast<int>(point);
    return run;
  }
  const auto res = std::to_chars(buf, buf + sizeof buf, m, std::chars_format::scientific,
                                 kSignificantDigits - 1);
  const std::string text(buf, res.ptr);  // d.ddddddddddddddddde+XX
  const size_t e = text.find('e');
  run.digits = text.substr(0, 1) + text.substr(2, e - 2);
  int exponent = 0;
  const char* expBegin = text.c_str() + e + 1;
  if (*expBegin == '+') ++expBegin;
  std::from_chars(expBegin, text.c_str() + text.size(), exponent);
  run.intDigits = exponent + 1;
  return run;
}

// Keeps the first `keep` of the digits, zeros standing in beyond its end, and rounds half up
// on the digit that follows. Returns true when the carry ran out of the front, in which case
// the result has a leading "1" and one digit more.
bool KeepDigits(const std::string& digits, size_t keep, std::string& kept) {
  char next = '0';
  if (keep < digits.size()) {
    kept = digits.substr(0, keep);
    next = digits[keep];
  } else {
    kept = digits;
    kept.append(keep - digits.size(), '0');
  }
  if (next < '5') return false;
  for (size_t i = kept.size(); i-- > 0;) {
    if (kept[i] != '9') {
      ++kept[i];
      return false;
    }
    kept[i] = '0';
  }
  kept.insert(kept.begin(), '1');
  return true;
}

std::string PadFront(std::string text, int width) {
  if (static_cast<int>(text.size()) < width) {
    text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
  }
  return text;
}

std::string ExponentText(double m, bool negative, int width) {
  int q = width - 8;
  if (q < 2) q = 2;
  if (q > kSignificantDigits) q = kSignificantDigits;
  const DigitRun run = EighteenDigits(m);
  int exponent = run.intDigits - 1;
  std::string kept;
  if (KeepDigits(run.digits, static_cast<size_t>(q), kept)) {
    kept.pop_back();  // 9.99..9 became 10.00..0: one digit too many, one decade up
    ++exponent;
  }
  std::string text(1, negative ? '-' : ' ');
  text += kept[0];
  text += '.';
  text.append(kept, 1, std::string::npos);
  text += 'E';
  text += exponent < 0 ? '-' : '+';
  std::string expDigits = DecText(exponent < 0 ? -exponent : exponent);
  text.append(expDigits.size() < 4 ? 4 - expDigits.size() : 0, '0');
  text += expDigits;
  return PadFront(std::move(text), width);
}

}  // namespace

std::string FixedText(double x, int width, int decimals) {
  if (width > kMaxWidth) width = kMaxWidth;
  if (width < 0) width = 0;
  if (decimals < 0) decimals = 0;
  if (decimals > kMaxDecimals) decimals = kMaxDecimals;

  if (std::isnan(x)) return PadFront("Nan", width);
  if (std::isinf(x)) return PadFront(x > 0 ? "+Inf" : "-Inf", width);

  // The sign bit decides, so -0.0 and negatives that round to zero keep their "-".
  const bool negative = std::signbit(x);
  const double m = std::fabs(x);
  if (m >= kExponentFrom) return ExponentText(m, negative, width);

  const DigitRun run = EighteenDigits(m);
  int intDigits = run.intDigits;
  std::string kept;
  if (KeepDigits(run.digits, static_cast<size_t>(intDigits + decimals), kept)) ++intDigits;

  size_t firstSignificant = 0;
  while (firstSignificant + 1 < static_cast<size_t>(intDigits) && kept[firstSignificant] == '0') {
    ++firstSignificant;
  }
  std::string text = negative ? "-" : "";
  text.append(kept, firstSignificant, static_cast<size_t>(intDigits) - firstSignificant);
  if (decimals > 0) {
    text += '.';
    text.append(kept, static_cast<size_t>(intDigits), std::string::npos);
  }
  return PadFront(std::move(text), width);
}

}  // namespace tavelor
