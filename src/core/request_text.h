// One read event is one request: the protocol has no framing of its own. A handler finds its
// arguments at fixed 1-based positions of the request text.
#pragma once

#include <cstddef>
#include <string>

namespace tavelor {

inline constexpr size_t kMaxRequestText = 1000;

// The received text without its first two characters, at most 1000 characters.
std::string RequestTextOf(const std::string& received);
// Positions 1 to 4 of the request text (shorter when the text is).
std::string RequestCodeOf(const std::string& requestText);

// Characters from..to (1-based, inclusive) of the request text; whatever of them exists.
std::string Positions(const std::string& requestText, size_t from, size_t to);

}  // namespace tavelor
