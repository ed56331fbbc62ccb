#include "replies/electric_reply.h"

#include "replies/field_forms.h"
#include "replies/gauge_rules.h"
#include "replies/panel_reply.h"
#include "simlink/offsets.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

std::string ElectricReply(RequestState& state) {
  PanelReads in(state.link);
  const auto& battery = in.Read(offsets::kBattery);
  const auto& alternator = in.Read(offsets::kAlternator);
  const auto& avionics = in.Read(offsets::kAvionics);
  const auto& fuelPump = in.Read(offsets::kFuelPump);
  const auto& antiIce = in.Read(offsets::kAntiIce[0]);
  const auto& pitotHeat = in.Read(offsets::kPitotHeat);
  const auto& cowlFlaps = in.Read(offsets::kCowlFlaps[0]);
  const auto& lights = in.Read(offsets::kLights);
  const auto& noseGear = in.Read(offsets::kNoseGear);
  const auto& flapLever = in.Read(offsets::kFlapLever);
  const auto& flapHandle = in.Read(offsets::kFlapHandle);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  // Switch digits in the order of their commands; only the anti-ice word's low byte counts.
  const std::string switches = SwitchDigits({battery, alternator, avionics, fuelPump, antiIce & 0xFF,
                                             pitotHeat, RoundReal(cowlFlaps)});
  const std::string lightText = LightSwitchesText(lights);
  const std::string gearText = noseGear == offsets::kGearDown ? "1" : "0";  // in transit is not down

  PanelReply reply(state, ReplyCode::kDtpa);
#define FIELD(number, name, label, unit, width, kind, rule, ...) reply.Field(number, rule);
#include "replies/tables/dtpa.inc"
#undef FIELD
  // The line runs the switches, lights and gear together in its first field; the block lists
  // them apart and puts the two flap texts on one line.
  reply.LogText(reply.Label(1), switches)
      .LogText("LIGHT", lightText)
      .LogText("LAND", gearText)
      .LogJoined({2, 3}, "-");
  return reply.Finish();
}

}  // namespace tavelor
