#include "replies/electric_reply.h"

#include "replies/panel_reply.h"
#include "simlink/offsets.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {
constexpr int32_t kGearDown = 16383;
}  // namespace

std::string ElectricReply() {
  PanelReads in;
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
  const std::string switches = DecText(battery) + DecText(alternator) + DecText(avionics) +
                               DecText(fuelPump) + DecText(antiIce & 0xFF) + DecText(pitotHeat) +
                               DecText(RoundReal(cowlFlaps));
  // Bits 5 down to 0: the same six characters the light command takes.
  const std::string lightText = BitString(lights, 10).substr(4, 6);
  const std::string gearText = noseGear == kGearDown ? "1" : "0";  // in transit is not down
  const std::string flapLeverText = PadLeft(DecText(flapLever), 5, '0');
  const std::string flapHandleText = DecText(flapHandle);

  // The line runs the switches, lights and gear together in its first field; the debug block
  // lists them apart and puts the two flap texts on one line.
  const std::string line = ReplyLine({switches + lightText + gearText, flapLeverText, flapHandleText});
  LogDebugBlock("- Electric Panel:-----------------",
                {{"BTN", switches},
                 {"LIGHT", lightText},
                 {"LAND", gearText},
                 {"FLAPS", flapLeverText + "-" + flapHandleText}});
  return line;
}

}  // namespace tavelor
