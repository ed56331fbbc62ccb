// The extended radio stack and the flight guidance panel from a panel client through the
// server to the stand-in simulator: poked values come back in their fields, each panel read in
// one exchange.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/harness.h"

namespace tavelor::e2e {
namespace {

// "7 R 07FC 4" -> "7" and "R 07FC 4"
std::string ExchangeOf(const std::string& line) { return line.substr(0, line.find(' ')); }
std::string RecordOf(const std::string& line) { return line.substr(line.find(' ') + 1); }

// The extended radio stack's reads in the panel's order.
const std::vector<std::string> kXradReads = {
    "R 3122 1", "R 05C4 4", "R 05CC 4", "R 05C8 4", "R 05D0 4", "R 0350 2", "R 311E 2",
    "R 0300 2", "R 0352 2", "R 3120 2", "R 0306 2", "R 034C 2", "R 0354 2", "R 07BC 4",
    "R 07C8 4", "R 07C4 4", "R 07D0 4", "R 0800 4", "R 07FC 4", "R 132C 4", "R 07D4 4",
    "R 07F2 2", "R 0560 8", "R 0568 8", "R 2B00 8", "R 3103 1", "R 3102 1", "R 02A0 2",
};

TEST(XradEndToEnd, PokedValuesComeBackInTheirFieldsFromOneExchange) {
  Stack stack;
  stack.StartBoth();
  const char* pokes[] = {
      // Over the parked aircraft's own values.
      "poke 05C4 60F13D07",          // COM1 121.500 MHz, in hertz
      "poke 0354 0012",              // squawk 1200
      "poke 07BC 01000000",          // autopilot master
      "poke 07D0 01000000",          // altitude hold
      "poke 07D4 FDFFF305",          // 5000 ft
      "poke 07F2 24FA",              // -1500 ft/min
      "poke 2B00 0000000000001640",  // heading 5.5
      "poke 3103 01",                // avionics on, beside the battery
  };
  for (const char* poke : pokes) ASSERT_EQ(stack.control.Command(poke), "OK") << poke;
  Client client = stack.Connect();
  stack.control.Journal();  // the link's handshake

  EXPECT_EQ(client.Ask("xxXRAD"),
            "10010000:121.500:121.500:119.100:124.850:110.90:113.90: 12.3:111.30:109.00:  0.0:0345:"
            "1200:1001000:05000:-1500:  40.5000000000:  -3.7500000000:00550:2:-01:\r\n");

  const std::vector<std::string> journal = stack.control.Journal();
  ASSERT_EQ(journal.size(), kXradReads.size());
  for (size_t i = 0; i < journal.size(); ++i) {
    EXPECT_EQ(RecordOf(journal[i]), kXradReads[i]) << "read " << i + 1;
    EXPECT_EQ(ExchangeOf(journal[i]), ExchangeOf(journal[0])) << journal[i];
  }

  // A refused exchange leaves every value at zero; the reply is still sent.
  ASSERT_EQ(stack.control.Command("fail 1"), "OK");
  EXPECT_EQ(client.Ask("xxXRAD\r\n"),
            "00000000:0.:0.:0.:0.:100.00:100.00:  0.0:100.00:100.00:  0.0:0000:0000:0000000:00000:"
            "+0000:   0.0000000000:   0.0000000000:00000:0:000:\r\n");
}

TEST(FgpEndToEnd, AnswersOnlyTheBareCodeAndShowsThePokedTargets) {
  Stack stack;
  stack.StartBoth();
  ASSERT_EQ(stack.control.Command("poke 07E8 AEC70000"), "OK");  // Mach target 0.78
  ASSERT_EQ(stack.control.Command("poke 07D4 FDFFF305"), "OK");  // 5000 ft
  Client client = stack.Connect();

  // The parked aircraft: heading 271.6, NAV1 radial 0, 1998 ft, 1013 millibars.
  EXPECT_EQ(client.Ask("xxFGP"), "00000000000:000:000:05000:+0000:000:272:180:02000:078:101300:\r\n");
  EXPECT_EQ(client.Ask("xxFGP\r\n"), "noversion\r\n");
}

}  // namespace
}  // namespace tavelor::e2e
