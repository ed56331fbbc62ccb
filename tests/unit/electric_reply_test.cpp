#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "replies/electric_reply.h"
#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

using testing::LogCapture;
using testing::Poke;
using testing::SimLink;

// What the simulator holds for the panel; each case changes a few fields of a quiet aircraft.
struct Panel {
  uint8_t battery = 0, alternator = 0, avionics = 0, fuelPump = 0;
  uint16_t antiIce = 0;
  uint8_t pitotHeat = 0;
  double cowlFlaps = 0.0;
  uint16_t lights = 0;
  int32_t noseGear = 0, flapLever = 0;
  uint8_t flapHandle = 0;
};

void Load(sim::OffsetMemory& m, const Panel& p) {
  Poke(m, offsets::kBattery, p.battery);
  Poke(m, offsets::kAlternator, p.alternator);
  Poke(m, offsets::kAvionics, p.avionics);
  Poke(m, offsets::kFuelPump, p.fuelPump);
  Poke(m, offsets::kAntiIce[0], p.antiIce);
  Poke(m, offsets::kPitotHeat, p.pitotHeat);
  Poke(m, offsets::kCowlFlaps[0], p.cowlFlaps);
  Poke(m, offsets::kLights, p.lights);
  Poke(m, offsets::kNoseGear, p.noseGear);
  Poke(m, offsets::kFlapLever, p.flapLever);
  Poke(m, offsets::kFlapHandle, p.flapHandle);
}

Panel With(void (*change)(Panel&)) {
  Panel p;
  change(p);
  return p;
}

class ElectricReplyTest : public ::testing::Test {
 protected:
  SimLink link;
};

TEST_F(ElectricReplyTest, EachValueComesBackInItsCommandsForm) {
  const struct {
    const char* name;
    Panel panel;
    const char* line;
  } cases[] = {
      {"quiet", Panel{}, "00000000000000:00000:0:\r\n"},
      {"switches on",
       With([](Panel& p) { p.battery = p.alternator = p.avionics = p.fuelPump = p.pitotHeat = 1; }),
       "11110100000000:00000:0:\r\n"},
      {"anti-ice low byte only", With([](Panel& p) { p.antiIce = 0x0101; }), "00001000000000:00000:0:\r\n"},
      {"anti-ice high byte ignored", With([](Panel& p) { p.antiIce = 0x0100; }), "00000000000000:00000:0:\r\n"},
      {"lights all six", With([](Panel& p) { p.lights = 0x003F; }), "00000001111110:00000:0:\r\n"},
      {"lights bit 0", With([](Panel& p) { p.lights = 0x0001; }), "00000000000010:00000:0:\r\n"},
      {"lights bit 5", With([](Panel& p) { p.lights = 0x0020; }), "00000001000000:00000:0:\r\n"},
      {"lights bit 6 ignored", With([](Panel& p) { p.lights = 0x0040; }), "00000000000000:00000:0:\r\n"},
      {"lights bit 9 ignored", With([](Panel& p) { p.lights = 0x0200; }), "00000000000000:00000:0:\r\n"},
      {"lights every bit", With([](Panel& p) { p.lights = 0xFFFF; }), "00000001111110:00000:0:\r\n"},
      {"gear down", With([](Panel& p) { p.noseGear = 16383; }), "00000000000001:00000:0:\r\n"},
      {"gear in transit", With([](Panel& p) { p.noseGear = 16382; }), "00000000000000:00000:0:\r\n"},
      {"gear beyond down", With([](Panel& p) { p.noseGear = 16384; }), "00000000000000:00000:0:\r\n"},
      {"cowl 0.4", With([](Panel& p) { p.cowlFlaps = 0.4; }), "00000000000000:00000:0:\r\n"},
      {"cowl 0.5 to even", With([](Panel& p) { p.cowlFlaps = 0.5; }), "00000000000000:00000:0:\r\n"},
      {"cowl 0.6", With([](Panel& p) { p.cowlFlaps = 0.6; }), "00000010000000:00000:0:\r\n"},
      {"cowl 1.5 to even", With([](Panel& p) { p.cowlFlaps = 1.5; }), "00000020000000:00000:0:\r\n"},
      {"cowl 2.5 to even", With([](Panel& p) { p.cowlFlaps = 2.5; }), "00000020000000:00000:0:\r\n"},
      {"cowl 12 lengthens", With([](Panel& p) { p.cowlFlaps = 12.0; }), "000000120000000:00000:0:\r\n"},
      {"switch above 9 lengthens", With([](Panel& p) { p.battery = 10; }), "100000000000000:00000:0:\r\n"},
      {"flap lever padded", With([](Panel& p) { p.flapLever = 5; }), "00000000000000:00005:0:\r\n"},
      {"flap lever half", With([](Panel& p) { p.flapLever = 8192; }), "00000000000000:08192:0:\r\n"},
      {"flap lever full", With([](Panel& p) { p.flapLever = 16383; }), "00000000000000:16383:0:\r\n"},
      {"flap lever wide", With([](Panel& p) { p.flapLever = 100000; }), "00000000000000:100000:0:\r\n"},
      {"flap lever minus", With([](Panel& p) { p.flapLever = -1; }), "00000000000000:000-1:0:\r\n"},
      {"flap handle", With([](Panel& p) { p.flapHandle = 12; }), "00000000000000:00000:12:\r\n"},
      {"flap handle byte", With([](Panel& p) { p.flapHandle = 255; }), "00000000000000:00000:255:\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Load(link.peer.Memory(), c.panel);
    EXPECT_EQ(ElectricReply(link.state), c.line);
  }
}

TEST_F(ElectricReplyTest, OneExchangeThatChangesNothing) {
  ElectricReply(link.state);
  EXPECT_EQ(link.ExchangesSinceOpen(), 1u);
  for (const sim::JournalEntry& entry : link.TakeJournal()) EXPECT_FALSE(entry.write);
}

TEST_F(ElectricReplyTest, ACowlValueThatCannotBeRoundedSendsNothing) {
  Load(link.peer.Memory(), With([](Panel& p) { p.cowlFlaps = std::nan(""); }));
  EXPECT_THROW(ElectricReply(link.state), RequestError);
}

TEST_F(ElectricReplyTest, DebugBlockFollowsTheLineWithTheSameTexts) {
  Panel p;
  p.battery = p.avionics = 1;
  p.cowlFlaps = 1.0;
  p.lights = 0x2A;
  p.noseGear = 16383;
  p.flapLever = 8192;
  p.flapHandle = 2;
  Load(link.peer.Memory(), p);

  {
    LogCapture log(link.state);
    ElectricReply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  LogCapture log(link.state);
  link.state.DebugEnabled = true;
  EXPECT_EQ(ElectricReply(link.state), "10100011010101:08192:2:\r\n");
  const std::vector<std::string> expected = {
      "- Electric Panel:-----------------", "- BTN:1010001", "- LIGHT:101010", "- LAND:1",
      "- FLAPS:08192-2"};
  EXPECT_EQ(log.lines, expected);
}

}  // namespace
}  // namespace tavelor
