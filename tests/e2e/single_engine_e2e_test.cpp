// The two single-engine panels from a panel client through the server to the stand-in
// simulator's parked aircraft and back.
#include <gtest/gtest.h>

#include "e2e/harness.h"

namespace tavelor::e2e {
namespace {

TEST(SingleEngineEndToEnd, BothPanelsShowPokedValues) {
  Stack stack;
  stack.StartBoth();
  // On top of the parked aircraft (battery and alternator on, beacon and taxi lights, heading
  // 271.6, 1998 ft, 1013 mb).
  const char* pokes[] = {
      "poke 0892 0300",              // magnetos both
      "poke 0E8C 00FB",              // -5 degrees C
      "poke 2834 F6285C8FC2F53B40",  // 27.96 V
      "poke 0238 09", "poke 0239 05", "poke 023A 07", "poke 023B 07", "poke 023C 05",
      "poke 2400 00000000005DA240",  // 2350.5 RPM: the half goes to the even neighbour
      "poke 0578 DEDDDDFD",          // pitch -3 degrees
      "poke 0C48 81",                // NAV1 needle at -127
      "poke 0BC0 01C0",              // trim -16383
      "poke 08F8 FBFFFFFF",          // fuel pressure -5
      "poke 08E8 0000000000D87540",  // 349.5 degrees
  };
  for (const char* poke : pokes) ASSERT_EQ(stack.control.Command(poke), "OK") << poke;

  Client client = stack.Connect();
  EXPECT_EQ(client.Ask("xxC172\r\n"),
            "11:00100100:3:0:00000:-05:280:0905:0705:000:000:000:000:000:000:00:000:000:01998:"
            "1013:00000:2350:000:272:270:000:0:0:129:000:000:0:000:000:000:000:00000:-003:0000:"
            "\r\n");
  EXPECT_EQ(client.Ask("xxC177"),
            "11:00100100:3:0:49153:000:0:0:129:000:000:000:01998:1013:00000:000:272:270:-003:"
            "0000:000:00000:000:00000:2350:000:00000:090507:00:000:00-5:350:000:000:000:000:000:"
            "\r\n");
}

TEST(SingleEngineEndToEnd, AnRpmThatIsNotANumberSendsNothingAndKeepsTheConnection) {
  Stack stack;
  stack.StartBoth();
  ASSERT_EQ(stack.control.Command("poke 2400 000000000000F87F"), "OK");
  Client client = stack.Connect();
  client.Send("xxC172");
  EXPECT_TRUE(stack.server.WaitForLine("- Error: Invalid floating point operation."));

  // Had the failed request been answered, that answer would come back here instead.
  ASSERT_EQ(stack.control.Command("poke 2400 0000000000A6A240"), "OK");  // 2387 RPM
  EXPECT_EQ(client.Ask("xxC177"),
            "11:00100100:0:0:00000:000:0:0:000:000:000:000:01998:1013:00000:000:272:270:0000:"
            "0000:000:00000:000:00000:2387:000:00000:000000:00:000:0000:000:000:000:000:000:000:"
            "\r\n");
}

}  // namespace
}  // namespace tavelor::e2e
