// The server's version, fixed in the program: what its caption and first log line show. The
// answers to the version codes are the registry's (core/request_codes.inc). What a request may
// change lives in RequestState, which the program owns and hands to every handler.
#pragma once

#include <string>

namespace tavelor {

inline const std::string AppVersion = "2.02A";
// The window's caption, the log's first line after its "- ", what a recording says made it.
inline const std::string AppTitle = "Tavelor Server v" + AppVersion;

}  // namespace tavelor
