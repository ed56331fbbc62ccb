#include "server/request.h"

#include "core/log.h"
#include "core/request_text.h"
#include "server/dispatch_table.h"

namespace tavelor {

std::optional<std::string> ServeRequest(RequestState& state, const std::string& received) {
  const std::string requestText = RequestTextOf(received);
  const std::string code = RequestCodeOf(requestText);
  if (state.DebugEnabled) {
    LogLine(state.log, LongTimeText(state.clock()) + " <- received code:" + code);
  }

  // The codes all differ, so the first match is the only one.
  for (const DispatchEntry& entry : DispatchTable()) {
    if (code != entry.code) continue;
    if (entry.command) {
      entry.command(state, requestText);
      return std::nullopt;
    }
    if (entry.reply) return entry.reply(state);
    return std::string(entry.versionText) + "\r\n";
  }
  return std::string("noversion\r\n");
}

}  // namespace tavelor
