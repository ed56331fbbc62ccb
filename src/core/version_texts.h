// The server's version texts, fixed in the program: the version its caption and first log line
// show, and the answers to the version codes. What a request may change lives in RequestState,
// which the program owns and hands to every handler.
#pragma once

#include <string>

namespace tavelor {

inline const std::string AppVersion = "2.02A";  // window caption and first log line

struct VersionText {
  const char* code;
  const char* text;
};
// The answers to the version codes, fixed in the program.
inline constexpr VersionText kVersionTexts[] = {
    {"V100", "2.01b"}, {"V172", "2.02a"}, {"V177", "2.02a"}, {"VMAP", "2.01a"}, {"VPFD", "2.01a"},
};

}  // namespace tavelor
