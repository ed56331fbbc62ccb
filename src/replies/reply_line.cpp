#include "replies/reply_line.h"

#include "app/globals.h"
#include "app/log.h"

namespace tavelor {

std::string ReplyLine(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) line += field + ":";
  return line + "\r\n";
}

void LogDebugBlock(const char* header,
                   std::initializer_list<std::pair<const char*, std::string>> values) {
  if (!DebugEnabled) return;
  LogLine(header);
  for (const auto& [label, text] : values) LogLine(std::string("- ") + label + ":" + text);
}

}  // namespace tavelor
