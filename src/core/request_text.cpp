#include "core/request_text.h"

namespace tavelor {

std::string RequestTextOf(const std::string& received) {
  if (received.size() <= 2) return {};
  return received.substr(2, kMaxRequestText);
}

std::string RequestCodeOf(const std::string& requestText) { return requestText.substr(0, 4); }

std::string Positions(const std::string& requestText, size_t from, size_t to) {
  if (from < 1 || to < from || from > requestText.size()) return {};
  return requestText.substr(from - 1, to - from + 1);
}

}  // namespace tavelor
