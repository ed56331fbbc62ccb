// The stand-in aircraft in motion, and the control channel's values in cockpit units.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "server/dispatch_table.h"
#include "sim/cockpit_values.h"
#include "sim/flight.h"
#include "sim/sim_peer.h"
#include "simlink/offsets.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor::sim {
namespace {

TEST(CockpitValues, SetThenGetGivesTheValueBackAndTheSimulatorsEncoding) {
  const struct {
    const char* name;
    const char* set;
    const char* get;
    uint32_t offset;
    const char* peek;  // the bytes as the simulator keeps them
  } cases[] = {
      {"com1", "118.50", "118.50", 0x034E, "5018"},
      {"com2", "124.85", "124.85", 0x3118, "8524"},
      {"nav1", "110.9", "110.90", 0x0350, "9010"},
      {"nav2", "108.00", "108.00", 0x0352, "0008"},
      {"adf", "345", "345", 0x034C, "4503"},
      {"transponder", "7000", "7000", 0x0354, "0070"},
      {"altitude", "5500", "5500", 0x3324, "7C15"},
      {"heading", "90", "90.00", 0x2B00, "0000000000805640"},
      {"ias", "110", "110.0", 0x02BC, "00370000"},
      {"vs", "-500", "-500", 0x02C8, "76FDFFFF"},
      {"lat", "40.5", "40.500000", 0x0564, "33AD4400"},
      {"lon", "-3.75", "-3.750000", 0x0568, "60555555555555FD"},
      {"qnh", "1013.25", "1013.25", 0x0330, "543F"},
  };
  SimPeer peer;
  bool quit = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(peer.Control(std::string("set ") + c.name + " " + c.set, &quit), "OK");
    EXPECT_EQ(peer.Control(std::string("get ") + c.name, &quit), std::string("OK ") + c.get);
    const std::string size = std::to_string(std::string(c.peek).size() / 2);
    char offset[8];
    std::snprintf(offset, sizeof offset, "%04X", c.offset);
    EXPECT_EQ(peer.Control(std::string("peek ") + offset + " " + size, &quit), std::string("OK ") + c.peek);
  }
  // The COM radios keep the same frequency in whole kilohertz too.
  EXPECT_EQ(peer.Control("peek 05C4 4", &quit), "OK E4CE0100");  // 118500
  const char* refused[] = {"set com1 99.99", "set transponder 7800", "set transponder 700",
                           "set adf 12.5", "set lat 91", "set heading north", "set qnh 1013,25",
                           "set flaps 10", "get flaps", "set com1", "fly sideways"};
  for (const char* line : refused) EXPECT_EQ(peer.Control(line, &quit).substr(0, 4), "ERR ") << line;
}

TEST(CockpitValues, HelpListsEveryCommandAndValueName) {
  SimPeer peer;
  bool quit = false;
  const std::string help = peer.Control("help", &quit);
  ASSERT_EQ(help.substr(0, 3), "OK ");
  for (const char* word : {"peek", "poke", "journal", "fail", "hang", "fly", "set", "get", "quit"})
    EXPECT_NE(help.find(std::string("\n") + word), std::string::npos) << word;
  for (const CockpitValue& value : CockpitValues())
    EXPECT_NE(help.find(std::string("  ") + value.name), std::string::npos) << value.name;
}

// Every panel's line keeps its length and field count all round the circuit, while the
// aircraft moves.
TEST(Flight, ACircuitMovesTheAircraftAndKeepsEveryReplysWidths) {
  testing::SimLink link;
  SimPeer& peer = link.peer;
  bool quit = false;
  ASSERT_EQ(peer.Control("fly on", &quit), "OK");
  ASSERT_TRUE(peer.Flying());

  std::map<std::string, std::string> first;  // reply code -> its line at the start
  std::vector<std::string> latitudes, altitudes, headings;
  for (int second = 0; second <= Flight::kCircuitSeconds; ++second) {
    if (second % 20 == 0) {
      for (const DispatchEntry& entry : DispatchTable()) {
        if (!entry.reply) continue;
        const std::string line = entry.reply(link.state);
        SCOPED_TRACE(std::string(entry.code) + " at " + std::to_string(second) + " s: " + line);
        auto [it, isFirst] = first.emplace(entry.code, line);
        if (isFirst) continue;
        EXPECT_EQ(line.size(), it->second.size());
        EXPECT_EQ(testing::FieldsOf(line).size(), testing::FieldsOf(it->second).size());
      }
      latitudes.push_back(peer.Control("get lat", &quit));
      altitudes.push_back(peer.Control("get altitude", &quit));
      headings.push_back(peer.Control("get heading", &quit));
    }
    peer.Tick(1.0);
  }
  // Climbed out, turned and moved; back on the apron after the circuit.
  EXPECT_NE(latitudes[10], latitudes[0]);
  EXPECT_EQ(altitudes[0], "OK 1998");
  EXPECT_EQ(altitudes[30], "OK 5500");
  EXPECT_NE(headings[15], headings[0]);
  EXPECT_EQ(latitudes.back(), latitudes[0]);

  ASSERT_EQ(peer.Control("fly off", &quit), "OK");
  const std::string held = peer.Control("get lat", &quit);
  peer.Tick(1.0);
  EXPECT_EQ(peer.Control("get lat", &quit), held);
}

TEST(Flight, TheSameFlightTimeGivesTheSameValues) {
  OffsetMemory a, b;
  Flight one, other;
  one.Start(a);
  other.Start(b);
  for (int i = 0; i < 600; ++i) one.Advance(a, 0.5);   // in half seconds
  for (int i = 0; i < 300; ++i) other.Advance(b, 1.0);  // in whole seconds
  uint8_t bytesA[0x100], bytesB[0x100];
  for (uint32_t page = 0; page < 0x10000; page += 0x100) {
    a.Read(page, 0x100, bytesA);
    b.Read(page, 0x100, bytesB);
    ASSERT_EQ(std::memcmp(bytesA, bytesB, sizeof bytesA), 0) << "page " << page;
  }
}

}  // namespace
}  // namespace tavelor::sim
