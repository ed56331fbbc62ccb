// The extended radio stack from a panel client through the server to the stand-in simulator:
// poked values come back in their fields, the whole panel read in one exchange.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/harness.h"

namespace tavelor::e2e {
namespace {

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

  // "N R 07FC 4": all 28 reads carry the number of the same exchange.
  const std::vector<std::string> journal = stack.control.Journal();
  ASSERT_EQ(journal.size(), 28u);
  const std::string exchange = journal[0].substr(0, journal[0].find(' ') + 1);
  for (const std::string& line : journal) EXPECT_EQ(line.rfind(exchange + "R ", 0), 0u) << line;
}

}  // namespace
}  // namespace tavelor::e2e
