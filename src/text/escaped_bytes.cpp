#include "text/escaped_bytes.h"

namespace tavelor {

namespace {

bool Unsafe(unsigned char byte, UnsafeBytes unsafe) {
  switch (unsafe) {
    case UnsafeBytes::kControl:
      return byte < 0x20 || byte == 0x7F;
    case UnsafeBytes::kTerminalC1:
      return byte >= 0x80 && byte <= 0x9F;
    case UnsafeBytes::kNotAscii:
      return byte < 0x20 || byte >= 0x7F;
  }
  return false;
}

}  // namespace

std::string EscapedBytes(std::string_view bytes, UnsafeBytes unsafe) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string safe;
  safe.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (!Unsafe(byte, unsafe)) {
      safe += c;
    } else if (unsafe == UnsafeBytes::kNotAscii && (c == '\r' || c == '\n')) {
      safe += c == '\r' ? "\\r" : "\\n";
    } else {
      safe += "\\x";
      safe += kDigits[byte >> 4];
      safe += kDigits[byte & 0xF];
    }
  }
  return safe;
}

}  // namespace tavelor
