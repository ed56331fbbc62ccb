#include "server/request.h"

#include "app/globals.h"
#include "app/log.h"
#include "server/dispatch_table.h"

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

std::optional<std::string> ServeRequest(const std::string& received) {
  const std::string requestText = RequestTextOf(received);
  const std::string code = RequestCodeOf(requestText);
  if (DebugEnabled) LogLine(LongTimeText() + " <- received code:" + code);

  for (const DispatchEntry& entry : DispatchTable()) {
    if (code != entry.code) continue;
    if (entry.command) {
      entry.command(requestText);
      return std::nullopt;
    }
    if (entry.reply) return entry.reply();
    return std::string(entry.versionText) + "\r\n";
  }
  return std::string("noversion\r\n");
}

}  // namespace tavelor
