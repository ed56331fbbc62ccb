#include "replies/field_forms.h"

#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

std::string PaddedDec(int64_t n, size_t width) { return PadLeft(DecText(n), width, '0'); }

int64_t Clamp(int64_t n, int64_t low, int64_t high) { return n < low ? low : n > high ? high : n; }

int32_t SignedWord(uint16_t raw, uint16_t positiveMax) {
  return raw > positiveMax ? int32_t{raw} - 65536 : int32_t{raw};
}

int32_t NearestWhole(long double x) { return static_cast<int32_t>(RoundExtended(x)); }

std::string SignedText(bool negative, const std::string& magnitude, size_t width, char positive) {
  return (negative ? '-' : positive) + PadLeft(magnitude, width, '0');
}

std::string SignedField(int64_t n, size_t digits, uint64_t clamp) {
  // The magnitude is formed unsigned: the most negative 64-bit value has no signed opposite.
  uint64_t magnitude = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  if (magnitude > clamp) magnitude = clamp;
  return SignedText(n < 0, std::to_string(magnitude), digits, '+');
}

std::string SwitchDigits(std::initializer_list<int64_t> values) {
  std::string text;
  for (int64_t value : values) text += DecText(value);
  return text;
}

}  // namespace tavelor
