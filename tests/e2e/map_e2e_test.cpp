// The moving map from a panel client through the server to the stand-in simulator: the values
// poked into the simulator come back in their fields, and the whole panel is read in one
// exchange, in the panel's read order.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace tavelor::e2e {
namespace {

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::string ReadRecord(unsigned offset, unsigned size) {
  char text[32];
  std::snprintf(text, sizeof text, "R %04X %u", offset, size);
  return text;
}

// The map panel's reads: aircraft, GPS and altitudes, then six reads for each of the fifteen
// traffic slots of 40 bytes from F080, then the magnetic variation.
std::vector<std::string> MapReadOrder() {
  std::vector<std::string> records = {
      ReadRecord(0x0560, 8), ReadRecord(0x0568, 8), ReadRecord(0x2B00, 8), ReadRecord(0x0E92, 2),
      ReadRecord(0x0E90, 2), ReadRecord(0x60A4, 6), ReadRecord(0x60EC, 8), ReadRecord(0x60E4, 4),
      ReadRecord(0x3324, 2), ReadRecord(0x31E4, 4)};
  for (unsigned slot = 0xF080; slot <= 0xF2B0; slot += 40) {
    for (auto [at, size] : {std::pair{0u, 4u}, {4u, 4u}, {8u, 4u}, {12u, 4u}, {20u, 2u}, {22u, 15u}}) {
      records.push_back(ReadRecord(slot + at, size));
    }
  }
  records.push_back(ReadRecord(0x02A0, 2));
  return records;
}

TEST(MapEndToEnd, OneExchangeInReadOrderAndPokedValuesInTheirFields) {
  Stack stack;
  stack.StartBoth();
  Client client = stack.Connect();

  // A refused exchange leaves every value at zero; the reply is still sent.
  ASSERT_EQ(stack.control.Command("fail 1"), "OK");
  const std::string zero = client.Ask("xxMAPS");
  EXPECT_EQ(zero, "   0.0000000000:   0.0000000000:00000:000:00:     :  0:0000:00000:" +
                      Repeat("   0.00000000:   0.00000000:00000:0:", 15) +
                      Repeat("XXXXXXXXXXXXXXX:", 15) + "0000:000:\r\n");
  EXPECT_EQ(zero.size(), 857u);

  const char* pokes[] = {
      // Every value of the panel, over the parked aircraft's own.
      "poke 0560 0000008033AD4400",  // 40.5 degrees north
      "poke 0568 60555555555555FD",  // 3.75 degrees west
      "poke 2B00 A01A2FDD24FA7040",  // heading 271.634
      "poke 0E92 0040",              // wind from 090
      "poke 0E90 9600",              // 150 knots, shown as 99
      "poke 60A4 4C454D440000",      // LEMD
      "poke 60EC 000000000016D240",  // 18520 metres
      "poke 60E4 58020000",          // 600 seconds
      "poke 3324 AC0D",              // 3500 feet
      "poke 31E4 00006400",          // 100 metres
      "poke 02A0 72FC",              // 5 degrees west
      // Slot 1 used, slot 2 empty but not blank, slot 3 used.
      "poke F080 01000000", "poke F084 00002242", "poke F088 000050C0", "poke F08C 00481C45",
      "poke F094 0CFE", "poke F096 414243313233",
      "poke F0A8 00000000", "poke F0AC 00002242", "poke F0BE 474849",
      "poke F0D0 03000000", "poke F0D4 000006C2", "poke F0D8 00401743", "poke F0DC 00B80847",
      "poke F0E4 DC05", "poke F0E6 51464131",
  };
  for (const char* poke : pokes) ASSERT_EQ(stack.control.Command(poke), "OK") << poke;
  stack.control.Journal();  // forget the first request's reads

  const std::string reply = client.Ask("xxMAPS\r\n");
  EXPECT_EQ(reply,
            "  40.5000000000:  -3.7500000000:27163:090:99:LEMD : 10:0600:03500:"
            "  40.50000000:  -3.25000000:02500:2:"
            "   0.00000000:   0.00000000:00000:0:"
            " -33.50000000: 151.25000000:35000:1:" +
                Repeat("   0.00000000:   0.00000000:00000:0:", 12) +
                "ABC123         :XXXXXXXXXXXXXXX:QFA1           :" +
                Repeat("XXXXXXXXXXXXXXX:", 12) + "0328:-05:\r\n");

  const std::vector<std::string> journal = stack.control.Journal();
  const std::vector<std::string> expected = MapReadOrder();
  ASSERT_EQ(journal.size(), expected.size());
  ASSERT_EQ(journal.size(), 101u);
  const std::string exchange = journal[0].substr(0, journal[0].find(' '));
  for (size_t i = 0; i < journal.size(); ++i) {
    EXPECT_EQ(journal[i], exchange + " " + expected[i]) << "read " << i + 1;
  }

  // The flight management and extended map panels carry the same position and waypoint.
  EXPECT_EQ(client.Ask("xxFMS"), "  40.5000000000:  -3.7500000000:LEMD :\r\n");
  EXPECT_EQ(client.Ask("xxFMS\r\n"), "noversion\r\n");
  const std::string extended = client.Ask("xxPMAP");
  EXPECT_EQ(extended.substr(0, 66),
            "  40.5000000000:  -3.7500000000:27163:090:99:0328:0000:0000:03500:");
  const std::string tail = ":LEMD-:0100:-05:\r\n";  // waypoint, tenths of a mile, variation
  EXPECT_EQ(extended.substr(extended.size() - tail.size()), tail);
}

}  // namespace
}  // namespace tavelor::e2e
