// ASCII letters to lower case, whatever the machine's locale: names on a command line, host
// names, control commands and anchors compare the same everywhere.
#pragma once

#include <string>
#include <string_view>

namespace tavelor {

inline std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

}  // namespace tavelor
