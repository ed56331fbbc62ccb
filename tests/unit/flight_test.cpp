// The stand-in aircraft in motion, and the control channel's values in cockpit units.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "server/dispatch_table.h"
#include "server/request.h"
#include "sim/world/circuit.h"
#include "sim/world/cockpit_values.h"
#include "sim/world/flight.h"
#include "sim/sim_peer.h"
#include "simlink/offsets.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor::sim {
namespace {

std::string Control(SimPeer& peer, const std::string& line) {
  bool quit = false;
  return peer.Control(line, &quit);
}

std::string Peek(SimPeer& peer, uint32_t offset, size_t size) {
  char line[32];
  std::snprintf(line, sizeof line, "peek %04X %zu", offset, size);
  return Control(peer, line);
}

// The fields of one panel's reply at the moment the stand-in is at, numbered from 1.
std::vector<std::string> Panel(testing::SimLink& link, const char* code) {
  for (const DispatchEntry& entry : DispatchTable())
    if (entry.reply && std::string(entry.code) == code)
      return testing::Fields(entry.reply(link.state));
  ADD_FAILURE() << "no panel " << code;
  return {};
}

TEST(CockpitValues, SetThenGetGivesTheValueBackAndTheSimulatorsEncoding) {
  const struct {
    const char* name;
    const char* set;
    const char* get;
    uint32_t offset;
    const char* peek;  // the bytes as the simulator keeps them
  } cases[] = {
      {"com1", "118.50", "118.50", 0x034E, "5018"},
      {"com1", "118.275", "118.275", 0x05C4, "B8BB0C07"},  // hertz
      {"com2", "124.85", "124.85", 0x3118, "8524"},
      {"nav1", "110.9", "110.90", 0x0350, "9010"},
      {"nav2", "108.00", "108.00", 0x0352, "0008"},
      {"adf", "345", "345", 0x034C, "4503"},
      {"adf", "1024.5", "1024.5", 0x0356, "0501"},  // the thousands and the tenths
      {"transponder", "7000", "7000", 0x0354, "0070"},
      {"altitude", "5500", "5500", 0x3324, "7C15"},
      {"heading", "90", "90.00", 0x2B00, "0000000000805640"},
      {"ias", "110", "110.0", 0x02BC, "00370000"},
      {"vs", "-500", "-500", 0x02C8, "76FDFFFF"},
      {"lat", "40.5", "40.500000", 0x0564, "33AD4400"},
      {"lon", "-3.75", "-3.750000", 0x0568, "55555555555555FD"},
      {"qnh", "1013.25", "1013.25", 0x0330, "543F"},
      {"pitch", "5", "5.0", 0x0578, "1CC771FC"},   // nose up: negative to the simulator
      {"bank", "-20", "-20.0", 0x057C, "8EE3380E"},  // left wing down: positive
      {"oat", "-5.5", "-5.5", 0x0E8C, "80FA"},
      {"dme1", "12.3", "12.3", 0x0300, "7B00"},
      {"dme2", "0.5", "0.5", 0x0306, "0500"},
      {"mach", "0.78", "0.780", 0x11C6, "663E"},
      {"wind", "270/15", "270/15", 0x0E90, "0F0000C0"},
      {"wind", "360/0", "360/0", 0x0E92, "FFFF"},
      {"fuel", "50", "50.0/50.0", 0x0B7C, "00004000"},
      {"fuel", "75/25", "75.0/25.0", 0x0B94, "00002000"},
      {"rpm", "2350", "2350", 0x2400, "00000000005CA240"},
      {"ap_heading", "90", "90", 0x07CC, "0040"},
      {"ap_heading", "360", "360", 0x07CC, "FFFF"},
      {"ap_alt", "5500", "5500.0", 0x07D4, "63668C06"},
      {"ap_vs", "-500", "-500", 0x07F2, "0CFE"},
      {"ap_ias", "110", "110", 0x07E2, "6E00"},
      {"ap_mach", "0.78", "0.780", 0x07E8, "AEC70000"},
      {"nav1_course", "210", "210", 0x0C4E, "D200"},
      {"ap_master", "1", "1", 0x07BC, "01000000"},
      {"ap_localiser_hold", "1", "1", 0x0800, "01000000"},
      {"flight_director", "1", "1", 0x2EE0, "01000000"},
      {"nav_gps", "1", "1", 0x132C, "01000000"},
  };
  SimPeer peer;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.set);
    const std::string bytes = c.peek;
    EXPECT_EQ(Control(peer, std::string("set ") + c.name + " " + c.set), "OK");
    EXPECT_EQ(Control(peer, std::string("get ") + c.name), std::string("OK ") + c.get);
    EXPECT_EQ(Peek(peer, c.offset, bytes.size() / 2), "OK " + bytes);
  }
  const char* refused[] = {"set com1 118.0001", "set transponder 7800", "set transponder 700",
                           "set adf 345.25", "set heading north", "set qnh 1013,25", "set wind 270",
                           "set flaps 10", "get flaps", "set com1", "fly sideways", "fly at 1200",
                           "set ap_master 0.5"};
  for (const char* line : refused) EXPECT_EQ(Control(peer, line).substr(0, 4), "ERR ") << line;
}

// Every range `help` states is the one `set` enforces: its bounds are taken, a hair beyond
// them is refused, for each part of the value.
TEST(CockpitValues, SetTakesExactlyTheRangesHelpStates) {
  SimPeer peer;
  const std::string help = Control(peer, "help");
  const std::regex line("\n  (\\w+) +[^\n]*"), range("(-?[0-9.]+) to (-?[0-9.]+)");
  std::set<std::string> listed;
  for (std::sregex_iterator it(help.begin(), help.end(), line), end; it != end; ++it) {
    const std::string name = (*it)[1], text = (*it)[0];
    listed.insert(name);
    std::vector<std::pair<std::string, std::string>> parts;
    for (std::sregex_iterator r(text.begin(), text.end(), range); r != end; ++r) parts.emplace_back((*r)[1], (*r)[2]);
    ASSERT_FALSE(parts.empty()) << "help states no range for " << name;
    const auto value = [&](size_t part, const std::string& text) {
      std::string joined;
      for (size_t i = 0; i < parts.size(); ++i) joined += (i ? "/" : "") + (i == part ? text : parts[i].first);
      return "set " + name + " " + joined;
    };
    const auto beyond = [](const std::string& bound, double direction) {
      const size_t point = bound.find('.');
      const int decimals = point == std::string::npos ? 0 : static_cast<int>(bound.size() - point - 1);
      char text[32];
      std::snprintf(text, sizeof text, "%.*f", decimals + 1, std::stod(bound) + direction * std::pow(10, -decimals - 1));
      return std::string(text);
    };
    for (size_t i = 0; i < parts.size(); ++i) {
      EXPECT_EQ(Control(peer, value(i, parts[i].first)), "OK") << value(i, parts[i].first);
      EXPECT_EQ(Control(peer, value(i, parts[i].second)), "OK") << value(i, parts[i].second);
      for (const std::string& outside : {beyond(parts[i].first, -1), beyond(parts[i].second, 1)})
        EXPECT_EQ(Control(peer, value(i, outside)).substr(0, 4), "ERR ") << value(i, outside);
    }
  }
  for (const CockpitValue& v : CockpitValues()) EXPECT_EQ(listed.count(v.name), 1u) << v.name;
}

// A simulator keeps each COM radio's BCD and hertz forms in step, whoever writes one.
TEST(RadioPairs, AWriteToEitherFormMovesTheOther) {
  const struct {
    const char* how;     // a control line, or "link" for a write record of the server
    const char* write;   // the line, or the command the server sends
    uint32_t bcd, hz;    // the radio's two offsets
    const char* bcdAfter;
    const char* hzAfter;
  } cases[] = {
      {"link", "COM1 119.00 121.50", 0x034E, 0x05C4, "0019", "C0CB1707"},      // 119000000
      {"link", "COM1 119.00 121.27", 0x311A, 0x05CC, "2721", "78823A07"},      // 121.275
      {"link", "CO22 136.990 118.005", 0x3118, 0x05C8, "9936", "304D2A08"},    // 136990000
      {"link", "CO22 136.990 118.005", 0x311C, 0x05D0, "0018", "089D0807"},    // 118.005 reads 118.00
      {"poke", "poke 311C 8524", 0x311C, 0x05D0, "8524", "500F7107"},          // 124850000
      {"poke", "poke 05C4 78B40807", 0x034E, 0x05C4, "0118", "78B40807"},      // 118011000
      {"poke", "poke 034E 2A1F", 0x034E, 0x05C4, "2A1F", "78B40807"},          // not BCD: Hz kept
      {"poke", "poke 05C4 FBCC0100", 0x034E, 0x05C4, "2A1F", "FBCC0100"},      // 118011: no frequency
      {"set", "set com2 121.5", 0x3118, 0x05C8, "5021", "60F13D07"},
  };
  testing::SimLink link;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.write);
    if (std::string(c.how) == "link") {
      ServeRequest(link.state, std::string("xx") + c.write);
    } else {
      ASSERT_EQ(Control(link.peer, c.write), "OK");
    }
    EXPECT_EQ(Peek(link.peer, c.bcd, 2), std::string("OK ") + c.bcdAfter);
    EXPECT_EQ(Peek(link.peer, c.hz, 4), std::string("OK ") + c.hzAfter);
  }
}


// Over one circuit every field a real flight moves changes at least once, and every panel keeps
// its widths while the aircraft moves. The circuit is visited at `fly at` steps, not flown in
// real time.
TEST(Flight, ACircuitMovesEveryFieldAFlightMoves) {
  const auto from = [](int first, int last) {
    std::vector<int> fields;
    for (int i = first; i <= last; ++i) fields.push_back(i);
    return fields;
  };
  // Fields a real flight leaves alone, by panel and field number, and why.
  const struct {
    const char* code;
    std::vector<int> fields;
    const char* why;
  } still[] = {
      {"C172", {1}, "battery and alternator stay on from the start of the circuit to its end"},
      {"C177", {1}, "the same"},
      {"FGP", {10}, "a light single's autopilot holds no Mach target"},
      {"PFD", {37}, "the same"},
      {"PFD", {41}, "its never-exceed speed does not change with height"},
      {"PFDP", {8}, "the same"},
      {"PFD", {44}, "the speed mode is the server's own, changed by APSP and APMM only"},
      {"MAPS", from(22, 69), "three aircraft are around, in slots 1 to 3"},
      {"PMAP", from(22, 69), "the same"},
      {"MAPS", from(70, 84), "an aircraft keeps its call sign, and the empty slots stay empty"},
      {"PMAP", from(70, 84), "the same"},
      {"PMAP", {7, 8}, "always 0000"},
      {"MAPS", {86}, "the magnetic variation changes by far less than a degree over thirty miles"},
      {"PMAP", {105}, "the same"},
      {"XRAD", {21}, "the same"},
  };
  testing::SimLink link;
  std::map<std::string, std::vector<std::string>> first;  // code -> its fields at the start
  std::map<std::string, std::set<int>> moved;
  for (int second = 0; second < Flight::kCircuitSeconds; second += 5) {
    ASSERT_EQ(Control(link.peer, "fly at " + std::to_string(second)), "OK");
    for (const DispatchEntry& entry : DispatchTable()) {
      if (!entry.reply) continue;
      const std::string line = entry.reply(link.state);
      SCOPED_TRACE(std::string(entry.code) + " at " + std::to_string(second) + " s: " + line);
      const std::vector<std::string> fields = testing::Fields(line);
      auto [at, isFirst] = first.emplace(entry.code, fields);
      ASSERT_EQ(fields.size(), at->second.size());
      for (size_t i = 1; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i].size(), at->second[i].size()) << "field " << i;
        if (fields[i] != at->second[i]) moved[entry.code].insert(static_cast<int>(i));
      }
    }
  }
  for (const auto& [code, fields] : first) {
    std::set<int> expectedStill;
    for (const auto& s : still)
      if (code == s.code) expectedStill.insert(s.fields.begin(), s.fields.end());
    for (int i = 1; i < static_cast<int>(fields.size()); ++i)
      EXPECT_NE(moved[code].count(i) == 1, expectedStill.count(i) == 1) << code << " field " << i << ": " << fields[i];
  }
}

// Needles, markers, the ADF and the autopilot down the ILS, as the HSI shows them: course and
// glideslope needles as signed bytes (+ right and down), the marker digits inner, middle, outer.
TEST(Flight, TheApproachMovesTheNeedlesAndLightsTheMarkersInTurn) {
  const struct {
    int second;
    const char* moment;
    int course, slope;  // the needles' side: 1 right or down, -1 left or up, 0 centred
    const char* markers;
    bool adfAhead;
    const char* ap;     // master, heading, NAV, altitude, localiser, glideslope, GPS
    const char* apAlt;
  } moments[] = {
      {740, "meeting the localiser below the glideslope", 1, -1, "000", true, "1000110", "03800"},
      {860, "level on the localiser, the glideslope coming down", 0, -1, "000", true, "1001110", "03800"},
      {910, "on the glideslope over the outer marker", 0, 0, "001", true, "1000110", "05000"},
      {960, "past the beacon", 0, 0, "000", false, "1000110", "05000"},
      {1080, "over the middle marker, the autopilot off", 0, 0, "010", false, "0000110", "05000"},
      {1100, "over the inner marker", 0, 0, "100", false, "0000110", "05000"},
  };
  testing::SimLink link;
  const auto side = [](const std::string& needle) {
    const int n = std::stoi(needle) > 127 ? std::stoi(needle) - 256 : std::stoi(needle);
    return n > 5 ? 1 : n < -5 ? -1 : 0;
  };
  int dme2 = 100000;
  for (const auto& m : moments) {
    SCOPED_TRACE(m.moment);
    ASSERT_EQ(Control(link.peer, "fly at " + std::to_string(m.second)), "OK");
    const std::vector<std::string> hsi = Panel(link, "HSI");
    EXPECT_EQ(side(hsi[8]), m.course) << hsi[8];
    EXPECT_EQ(side(hsi[9]), m.slope) << hsi[9];
    EXPECT_EQ(hsi[15], m.markers);
    const int adf = std::stoi(hsi[2]);
    EXPECT_EQ(adf < 9000 || adf > 27000, m.adfAhead) << hsi[2];
    EXPECT_EQ(hsi[12], m.ap);
    EXPECT_EQ(hsi[13], m.apAlt);
    EXPECT_EQ(hsi[6], "240") << "the heading bug of the vectors";
    EXPECT_LT(std::stoi(hsi[5]), dme2) << "DME 2 counts down to the runway";
    dme2 = std::stoi(hsi[5]);
  }
}

// The stand-in's stations are where a panel can tune them: NAV1 takes a VOR or ILS by its BCD
// digits, ADF0 a beacon by whole kilohertz below 1000; once tuned, PFD names it.
TEST(Flight, EveryStationCanBeTunedByAPanelsCommand) {
  testing::SimLink link;
  for (const circuit::Station& station : circuit::Stations()) {
    SCOPED_TRACE(station.ident);
    // Moments when the pilot touches no radio for a while: on the way to CJN, or on the
    // localiser's course.
    const bool ils = station.kind == circuit::StationKind::kIls;
    ASSERT_EQ(Control(link.peer, ils ? "fly at 700" : "fly at 300"), "OK");
    char request[32];
    size_t identField = 24;
    if (station.kind == circuit::StationKind::kNdb) {
      ASSERT_EQ(station.frequency % 10, 0u) << "ADF0 cannot tune tenths";
      std::snprintf(request, sizeof request, "xxADF0 %03u", station.frequency / 10);
      identField = 33;
    } else {
      const unsigned f = station.frequency;
      std::snprintf(request, sizeof request, "xxNAV1 1%X%X.%X%X 113.90", f >> 12, (f >> 8) & 15, (f >> 4) & 15, f & 15);
    }
    ServeRequest(link.state, request);
    ASSERT_EQ(Control(link.peer, "fly on"), "OK");
    link.peer.Tick(0.5);
    ASSERT_EQ(Control(link.peer, "fly off"), "OK");
    const std::string ident = Panel(link, "PFD")[identField];
    EXPECT_EQ(ident.substr(0, ident.find('-')), station.ident) << request;
  }
}

// Each traffic aircraft's trend digit says which way its altitude goes.
TEST(Flight, TrafficTrendsFollowTheirClimbsAndDescents) {
  testing::SimLink link;
  std::set<std::string> seen;
  for (int second = 400; second <= 520; second += 10) {
    Control(link.peer, "fly at " + std::to_string(second));
    const std::vector<std::string> before = Panel(link, "MAPS");
    Control(link.peer, "fly at " + std::to_string(second + 1));
    const std::vector<std::string> after = Panel(link, "MAPS");
    for (int slot = 1; slot <= 3; ++slot) {
      const int feetPerSecond = std::stoi(after[8 + 4 * slot]) - std::stoi(before[8 + 4 * slot]);
      const std::string& trend = before[9 + 4 * slot];
      SCOPED_TRACE("slot " + std::to_string(slot) + " at " + std::to_string(second) + " s");
      const char* expected = feetPerSecond > 10 ? "1" : feetPerSecond < -10 ? "2" : std::abs(feetPerSecond) <= 3 ? "0" : "";
      if (*expected) {
        EXPECT_EQ(trend, expected);
      }
      seen.insert(trend);
    }
  }
  EXPECT_EQ(seen, (std::set<std::string>{"0", "1", "2"}));
}

TEST(Flight, TheSameMomentGivesTheSameValuesHoweverItIsReached) {
  OffsetMemory a, b, c;
  Flight one, other, jumped;
  one.Start(a);
  other.Start(b);
  for (int i = 0; i < 600; ++i) one.Advance(a, 0.5);   // in half seconds
  for (int i = 0; i < 300; ++i) other.Advance(b, 1.0);  // in whole seconds
  jumped.JumpTo(c, 700);
  jumped.JumpTo(c, 300);  // back to an earlier moment
  uint8_t bytesA[0x100], bytesB[0x100], bytesC[0x100];
  for (uint32_t page = 0; page < 0x10000; page += 0x100) {
    a.Read(page, 0x100, bytesA);
    b.Read(page, 0x100, bytesB);
    c.Read(page, 0x100, bytesC);
    ASSERT_EQ(std::memcmp(bytesA, bytesB, sizeof bytesA), 0) << "page " << page;
    ASSERT_EQ(std::memcmp(bytesA, bytesC, sizeof bytesA), 0) << "page " << page;
  }
}

TEST(Flight, HeldItStaysAndAfterTheCircuitItStartsOver) {
  SimPeer peer;
  ASSERT_EQ(Control(peer, "fly at 1199"), "OK");
  ASSERT_EQ(Control(peer, "fly on"), "OK");
  peer.Tick(1.0);
  EXPECT_EQ(Control(peer, "get lat"), "OK 40.500000") << "back on the apron";
  EXPECT_EQ(Control(peer, "get altitude"), "OK 1998");
  peer.Tick(1.0);
  ASSERT_EQ(Control(peer, "fly off"), "OK");
  const std::string held = Control(peer, "get heading");
  peer.Tick(5.0);
  EXPECT_EQ(Control(peer, "get heading"), held);
}

}  // namespace
}  // namespace tavelor::sim
