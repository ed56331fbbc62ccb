#include "replies/electric_reply.h"

#include <cstdint>

#include "replies/reply_line.h"
#include "simlink/ipc_client.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr int32_t kGearDown = 16383;

}  // namespace

std::string ElectricReply() {
  uint8_t battery = 0, alternator = 0, avionics = 0, fuelPump = 0, pitotHeat = 0, flapHandle = 0;
  uint16_t antiIce = 0, lights = 0;
  double cowlFlaps = 0.0;
  int32_t noseGear = 0, flapLever = 0;

  IpcRead(0x3102, 1, &battery);
  IpcRead(0x3101, 1, &alternator);
  IpcRead(0x3103, 1, &avionics);
  IpcRead(0x3104, 1, &fuelPump);
  IpcRead(0x08B2, 2, &antiIce);
  IpcRead(0x029C, 1, &pitotHeat);
  IpcRead(0x37F0, 8, &cowlFlaps);
  IpcRead(0x0D0C, 2, &lights);
  IpcRead(0x0BEC, 4, &noseGear);
  IpcRead(0x0BDC, 4, &flapLever);
  IpcRead(0x0BFC, 1, &flapHandle);
  IpcProcess();  // a failed exchange leaves every value at zero, and the reply says so

  const std::string switches = DecText(battery) + DecText(alternator) + DecText(avionics) +
                               DecText(fuelPump) + DecText(antiIce & 0xFF) + DecText(pitotHeat) +
                               DecText(RoundReal(cowlFlaps));
  // Bits 5 down to 0: the same six characters the light command takes.
  const std::string lightText = BitString(lights, 10).substr(4, 6);
  // A gear in transit is not down.
  const std::string gearText = noseGear == kGearDown ? "1" : "0";
  const std::string flapLeverText = PadLeft(DecText(flapLever), 5, '0');
  const std::string flapHandleText = DecText(flapHandle);

  const std::string line = ReplyLine({switches + lightText + gearText, flapLeverText, flapHandleText});

  LogDebugBlock("- Electric Panel:-----------------",
                {{"BTN", switches},
                 {"LIGHT", lightText},
                 {"LAND", gearText},
                 {"FLAPS", flapLeverText + "-" + flapHandleText}});
  return line;
}

}  // namespace tavelor
