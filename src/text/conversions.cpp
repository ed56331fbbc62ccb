#include "text/conversions.h"

#include <charconv>

#include "text/request_error.h"

namespace tavelor {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

[[noreturn]] void ThrowNotInteger(const std::string& text) {
  throw RequestError("'" + text + "' is not a valid integer value");
}

}  // namespace

std::string DecText(int64_t n) {
  char buf[24];
  const auto result = std::to_chars(buf, buf + sizeof buf, n);
  return std::string(buf, result.ptr);
}

std::string HexText(int64_t n, int minDigits) {
  // Only the low 32 bits take part: a negative 32-bit value always shows as eight digits.
  uint32_t pattern = static_cast<uint32_t>(n);
  char buf[8];
  int count = 0;
  do {
    buf[7 - count] = kHexDigits[pattern & 0xFu];
    pattern >>= 4;
    ++count;
  } while (pattern != 0);
  std::string text(buf + 8 - count, buf + 8);
  if (minDigits > 32 || minDigits < 0) minDigits = 0;
  if (static_cast<int>(text.size()) < minDigits) {
    text.insert(0, static_cast<size_t>(minDigits) - text.size(), '0');
  }
  return text;
}

std::string BcdFreqText(uint16_t v) {
  const std::string digits = HexText(v, 4);
  return "1" + digits.substr(0, 2) + "." + digits.substr(2, 2);
}

int32_t IntValue(const std::string& text) {
  const size_t n = text.size();
  size_t i = 0;
  while (i < n && text[i] == ' ') ++i;

  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }

  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    i += 1;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }

  if (i >= n) ThrowNotInteger(text);

  const char* digits = text.data() + i;
  const char* end = text.data() + n;
  if (hex) {
    // Leading zeros are free; a ninth significant digit no longer fits 32 bits.
    uint32_t value = 0;
    const auto [stop, error] = std::from_chars(digits, end, value, 16);
    if (error != std::errc() || stop != end) ThrowNotInteger(text);
    // The sign applies to the 32-bit pattern, so "-$80000000" wraps back to itself.
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
  }

  // Decimal: the magnitude may reach 2^31 only for a negative number.
  const uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
  uint64_t magnitude = 0;
  const auto [stop, error] = std::from_chars(digits, end, magnitude);
  if (error != std::errc() || stop != end || magnitude > limit) ThrowNotInteger(text);
  return static_cast<int32_t>(negative ? 0 - static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
}

std::string BitString(int64_t value, int width) {
  if (width <= 0) return std::string();
  std::string text(static_cast<size_t>(width), '0');
  // The value is taken as a signed 32-bit number: a negative one gives all zeros. Bits at or
  // above the width have no place in the text and are dropped.
  const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(value));
  if (v <= 0) return text;
  const uint32_t bits = static_cast<uint32_t>(v);
  for (int bit = 0; bit < 31 && bit < width; ++bit) {
    if ((bits >> bit) & 1u) text[static_cast<size_t>(width - 1 - bit)] = '1';
  }
  return text;
}

uint32_t BitStringValue(const std::string& text) {
  // Only the last 32 characters can hold a bit of the 32-bit result; a "1" further to the
  // front is beyond what the value can carry and is ignored.
  uint32_t value = 0;
  const size_t n = text.size();
  for (size_t bit = 0; bit < 32 && bit < n; ++bit) {
    if (text[n - 1 - bit] == '1') value |= 1u << bit;
  }
  return value;
}

std::string PadLeft(const std::string& text, size_t width, char fill) {
  if (text.empty() || text.size() >= width) return text;
  return std::string(width - text.size(), fill) + text;
}

std::string PadRight(const std::string& text, size_t width, char fill) {
  if (text.empty() || text.size() >= width) return text;
  return text + std::string(width - text.size(), fill);
}

std::string TrimText(const std::string& text) {
  auto isSpace = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  size_t first = 0;
  size_t last = text.size();
  while (first < last && isSpace(text[first])) ++first;
  while (last > first && isSpace(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace tavelor
