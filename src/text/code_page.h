// Flight plans arrive in the host's 8-bit code page and are stored as UTF-8. Windows converts
// from its default code page; elsewhere the conversion is Windows-1252. Which one a request uses
// is the request state's (RequestState::codePageToUtf8).
#pragma once

#include <string>

namespace tavelor {

using CodePageConverter = std::string (*)(const std::string& text);

// Windows-1252 to UTF-8; the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) become the code point of the same number.
std::string Windows1252ToUtf8(const std::string& text);

}  // namespace tavelor
