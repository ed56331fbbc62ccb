#include "server/request.h"

#include "core/log.h"
#include "core/request_text.h"
#include "server/dispatch_table.h"

namespace tavelor {

std::optional<std::string> ServeRequest(RequestState& state, const std::string& received) {
  const std::string requestText = RequestTextOf(received);
  if (state.DebugEnabled) {
    LogLine(state.log, LongTimeText(state.clock()) + " <- received code:" + RequestCodeOf(requestText));
  }

  const RequestCode* row = MatchRequestCode(requestText);
  if (!row) return std::string("noversion\r\n");
  const DispatchEntry& entry = DispatchTable()[row->index];
  if (entry.command) {
    entry.command(state, CommandArguments(requestText, *row));
    return std::nullopt;
  }
  if (entry.reply) return entry.reply(state);
  return std::string(entry.versionText) + "\r\n";
}

}  // namespace tavelor
