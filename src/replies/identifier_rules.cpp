#include "replies/identifier_rules.h"

#include "text/conversions.h"

namespace tavelor {

namespace {

// A byte that would end the field (':'), end the line or act as a control for the panel or a
// terminal. Other pilots choose their call signs: none of them may reshape a reply.
bool Unsafe(unsigned char c) { return c == ':' || c < 0x20 || c == 0x7F; }

}  // namespace

std::string SimulatorText(std::string_view bytes, size_t width, char fill, FillSide side) {
  std::string text = TrimText(std::string(bytes));
  if (text.empty()) return std::string(width, fill);  // the pads leave an empty text as it is
  if (text.size() > width) text.resize(width);
  for (char& c : text) {
    if (Unsafe(static_cast<unsigned char>(c))) c = '?';
  }
  return side == FillSide::kAfter ? PadRight(text, width, fill) : PadLeft(text, width, fill);
}

}  // namespace tavelor
