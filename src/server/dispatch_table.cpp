// The registry's rows with their actions: the handlers are named in core/request_codes.inc,
// which is read here a second time for them.
#include "server/dispatch_table.h"

#include "commands/autopilot_commands.h"
#include "commands/flight_plan_commands.h"
#include "commands/radio_commands.h"
#include "commands/systems_commands.h"
#include "replies/c172_reply.h"
#include "replies/c177_reply.h"
#include "replies/electric_reply.h"
#include "replies/fgp_reply.h"
#include "replies/fms_reply.h"
#include "replies/hsi_reply.h"
#include "replies/map_reply.h"
#include "replies/pfd_reply.h"
#include "replies/pfdp_reply.h"
#include "replies/pmap_reply.h"
#include "replies/radio_reply.h"
#include "replies/xrad_reply.h"

namespace tavelor {

namespace {

struct Action {
  CommandHandler command;
  ReplyBuilder reply;
};

constexpr Action kActions[] = {
#define COMMAND(id, code, family, handler, ...) {handler, nullptr},
#define REPLY(id, code, builder, header) {nullptr, builder},
#define VERSION(code, text) {nullptr, nullptr},
#include "core/request_codes.inc"
#undef COMMAND
#undef REPLY
#undef VERSION
};

std::vector<DispatchEntry> BuildTable() {
  std::vector<DispatchEntry> table;
  for (const RequestCode& row : RequestCodes()) {
    const Action& action = kActions[row.index];
    table.push_back({row.code, action.command, action.reply,
                     row.kind == CodeKind::kVersion ? row.versionText : nullptr, &row});
  }
  return table;
}

}  // namespace

const std::vector<DispatchEntry>& DispatchTable() {
  static const std::vector<DispatchEntry> table = BuildTable();
  return table;
}

}  // namespace tavelor
