#include "replies/identifier_rules.h"

#include "text/conversions.h"

namespace tavelor {

std::string SimulatorText(std::string_view bytes, size_t width, char fill, FillSide side) {
  std::string text = TrimText(std::string(bytes));
  if (text.empty()) return std::string(width, fill);  // the pads leave an empty text as it is
  if (text.size() > width) text.resize(width);
  return side == FillSide::kAfter ? PadRight(text, width, fill) : PadLeft(text, width, fill);
}

}  // namespace tavelor
