// The 65 request codes in the order they are compared: commands, panel replies, version codes.
// No two codes are equal, so at most one action runs for a request.
#include "server/dispatch_table.h"

#include "core/version_texts.h"
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

DispatchEntry Command(const char* code, CommandHandler handler) { return {code, handler, nullptr, nullptr}; }
DispatchEntry Reply(const char* code, ReplyBuilder builder) { return {code, nullptr, builder, nullptr}; }

std::vector<DispatchEntry> BuildTable() {
  std::vector<DispatchEntry> table = {
      // radios and transponder
      Command("COM1", Com1Command), Command("CO11", Co11Command), Command("COM2", Com2Command),
      Command("CO22", Co22Command), Command("NAV1", Nav1Command), Command("NAV2", Nav2Command),
      Command("ADF0", Adf0Command), Command("TRA0", Tra0Command), Command("AUD0", Aud0Command),
      // autopilot targets
      Command("APGP", ApgpCommand), Command("APAL", ApalCommand), Command("APVS", ApvsCommand),
      Command("APHD", AphdCommand),
      // electrical switches, lights, gear, flaps
      Command("EBAT", EbatCommand), Command("EALT", EaltCommand), Command("EAVI", EaviCommand),
      Command("EFUE", EfueCommand), Command("EICE", EiceCommand), Command("EPIT", EpitCommand),
      Command("ECOW", EcowCommand), Command("LIGH", LighCommand), Command("LAND", LandCommand),
      Command("FLAP", FlapCommand),
      // autopilot switches, modes and speed targets
      Command("APCR", ApcrCommand), Command("APAP", ApapCommand), Command("APFD", ApfdCommand),
      Command("APNA", ApnaCommand), Command("APPR", ApprCommand), Command("APGS", ApgsCommand),
      Command("APHH", AphhCommand), Command("APAA", ApaaCommand), Command("APSP", ApspCommand),
      Command("APMM", ApmmCommand), Command("APYD", ApydCommand), Command("APLV", AplvCommand),
      Command("APIA", ApiaCommand), Command("APMA", ApmaCommand),
      // altimeter setting
      Command("BARO", BaroCommand),
      // flight plan upload and load
      Command("PLA9", Pla9Command), Command("PL99", Pl99Command), Command("PLAX", PlaxCommand),
      Command("PLAN", PlanCommand), Command("EXEC", ExecCommand),
      // magnetos, flap lever, heading indicator, NAV2 and ADF knobs
      Command("MAGN", MagnCommand), Command("FLPS", FlpsCommand), Command("GDRF", GdrfCommand),
      Command("OBS2", Obs2Command), Command("AOBS", AobsCommand),
      // panel replies
      Reply("DTPA", ElectricReply),
      Reply("MAPS", MapReply),
      Reply("RADI", RadioReply),
      Reply("HSI", HsiReply),
      Reply("PFD", PfdReply),
      Reply("FGP", FgpReply),
      Reply("FMS", FmsReply),
      Reply("C172", C172Reply),
      Reply("C177", C177Reply),
      Reply("XRAD", XradReply),
      Reply("PMAP", ExtendedMapReply),
      Reply("PFDP", PfdpReply),
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
