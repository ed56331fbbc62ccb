// Codes whose handlers are not built yet are simply absent: a client asking for one gets
// "noversion" like for any unknown code, never a half-made answer.
#include "server/dispatch_table.h"

#include "app/globals.h"
#include "commands/radio_commands.h"
#include "replies/radio_reply.h"

namespace tavelor {

namespace {

DispatchEntry Command(const char* code, CommandHandler handler) { return {code, handler, nullptr, nullptr}; }
DispatchEntry Reply(const char* code, ReplyBuilder builder) { return {code, nullptr, builder, nullptr}; }

std::vector<DispatchEntry> BuildTable() {
  std::vector<DispatchEntry> table = {
      // radios and transponder
      Command("COM1", Com1Command), Command("CO11", Co11Command), Command("COM2", Com2Command),
      Command("CO22", Co22Command), Command("NAV1", Nav1Command), Command("NAV2", Nav2Command),
      Command("ADF0", Adf0Command), Command("TRA0", Tra0Command), Command("AUD0", Aud0Command),
      // panel replies
      Reply("RADI", RadioReply),
  };
  for (const VersionText& v : kVersionTexts) table.push_back({v.code, nullptr, nullptr, v.text});
  return table;
}

}  // namespace

const std::vector<DispatchEntry>& DispatchTable() {
  static const std::vector<DispatchEntry> table = BuildTable();
  return table;
}

}  // namespace tavelor
