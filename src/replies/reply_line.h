// The pieces every panel reply shares: the line of colon-ended fields and the debug block.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

namespace tavelor {

// Every field followed by ":" (the last one too), then CR LF; no leading ":".
std::string ReplyLine(std::initializer_list<std::string> fields);

// Only while DebugEnabled: the header line as given, then "- label:text" per value.
void LogDebugBlock(const char* header,
                   std::initializer_list<std::pair<const char*, std::string>> values);

}  // namespace tavelor
