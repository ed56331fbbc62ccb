// Every panel reply when the simulator gives nothing: a refused exchange, or a link that is not
// open, leaves every value at zero, and the reply is still built and sent, byte for byte the
// same whatever the simulator held before.
#include <gtest/gtest.h>

#include <string>

#include "server/dispatch_table.h"
#include "sim/sim_peer.h"
#include "sim/world/parked_aircraft.h"
#include "simlink/ipc_client.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

using testing::Repeat;

const std::string kTraffic =
    Repeat("   0.00000000:   0.00000000:00000:0:", 15) + Repeat("XXXXXXXXXXXXXXX:", 15);

const struct {
  const char* code;
  std::string line;
  size_t length;
} kZeroReplies[] = {
    {"DTPA", "00000000000000:00000:0:\r\n", 25},
    {"MAPS", "   0.0000000000:   0.0000000000:00000:000:00:     :  0:0000:00000:" + kTraffic +
                 "0000:000:\r\n", 857},
    {"RADI", "  0.0:  0.0:0000:100.00:100.00:100.00:100.00:100.00:100.00:0000:00000000:100.00:"
             "100.00:\r\n", 89},
    {"HSI", "00000:00000:000:00000:00000:000:000:000:000:0:0:0000000:00000:+0000:000:000:00:-----:"
            "-----:-----:00000:000:000:\r\n", 113},
    {"PFD", "00000:+00:+0000:00000:-0000:+00000:00000:0000000:00000:000:000:0000:00000:00000:000:"
            "000:000:0:000:000:0:000:00:-----:0000:000:0000:-----:0000:000:0000:+0000:-----:000:"
            "+00:0:000:0:+0000:+0000:000:000:0:1:-----:0000:000:000:0000:\r\n", 229},
    {"FGP", "00000000000:000:000:00000:+0000:000:000:180:00000:000:000000:\r\n", 63},
    {"FMS", "   0.0000000000:   0.0000000000:     :\r\n", 40},
    {"C172", "00:00000000:0:0:00000:000:000:0000:0000:000:000:000:000:000:000:00:000:000:00000:"
             "0000:00000:0000:000:000:000:000:0:0:000:000:000:0:000:000:000:000:00000:0000:0000:"
             "\r\n", 165},
    {"C177", "00:00000000:0:0:00000:000:0:0:000:000:000:000:00000:0000:00000:000:000:000:0000:0000:"
             "000:00000:000:00000:0000:000:00000:000000:00:000:0000:000:000:000:000:000:000:\r\n",
     165},
    {"XRAD", "00000000:0.:0.:0.:0.:100.00:100.00:  0.0:100.00:100.00:  0.0:0000:0000:0000000:00000:"
             "+0000:   0.0000000000:   0.0000000000:00000:0:000:\r\n", 137},
    {"PMAP", "   0.0000000000:   0.0000000000:00000:000:00:0000:0000:0000:00000:" + kTraffic +
                 "+00:000:00000:0:000:0:000:0:000:0:000:000:0:000:-----:0000:-----:0000:-----:0000:"
                 "000:\r\n", 933},
    {"PFDP", "-0000:+00000:0:+0000:+0000:00000000:00000:000:00000:+00:000:000:00000:+0000:00000:"
             "+0000:00000:00000:000:000:000:0:000:000:0:-----:0000:000:0000:-----:0000:000:0000:"
             "-----:0:-----:0000:000:000:0000:000:000:00:+00:000:\r\n", 217},
};

ReplyBuilder BuilderOf(const std::string& code) {
  for (const DispatchEntry& entry : DispatchTable())
    if (code == entry.code) return entry.reply;
  return nullptr;
}

TEST(ZeroReplies, ARefusedExchangeOrAClosedLinkGivesEachPanelsAllZeroLine) {
  testing::SimLink link;  // SpeedRefMode at its start value 1, which the PFD line shows
  testing::LogCapture log(link.state);
  sim::LoadParkedAircraft(link.peer.Memory());
  link.peer.StartFlying();
  link.peer.Tick(1.0);
  for (int second = 0; second < 300; ++second) link.peer.Tick(1.0);  // airborne, all moving

  bool quit = false;
  for (const auto& zero : kZeroReplies) {
    SCOPED_TRACE(zero.code);
    const ReplyBuilder reply = BuilderOf(zero.code);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(zero.line.size(), zero.length);
    ASSERT_NE(reply(link.state), zero.line) << "the flying aircraft shows on every panel";
    ASSERT_EQ(link.peer.Control("fail 1", &quit), "OK");
    EXPECT_EQ(reply(link.state), zero.line);
  }
  IpcClose(link.client);
  for (const auto& zero : kZeroReplies)
    EXPECT_EQ(BuilderOf(zero.code)(link.state), zero.line) << zero.code;
  EXPECT_TRUE(log.lines.empty()) << "no reply logs a message of its own";
}

}  // namespace
}  // namespace tavelor
