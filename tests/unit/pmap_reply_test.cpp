#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "replies/pmap_reply.h"
#include "server/request.h"
#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "support/map_memory.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"
#include "text/real_math.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

using testing::Fields;
using testing::Ident;
using testing::LogCapture;
using testing::Poke;
using testing::Repeat;
using testing::SimLink;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class PmapReplyTest : public ::testing::Test {
 protected:
  SimLink link;
  sim::OffsetMemory& memory = link.peer.Memory();
};

TEST_F(PmapReplyTest, InstrumentFieldsFromPokedValues) {
  using M = sim::OffsetMemory;
  const struct {
    const char* name;
    std::function<void(M&)> poke;
    std::vector<std::pair<int, std::string>> fields;
  } cases[] = {
      {"oat -5", [](M& m) { Poke(m, offsets::kOutsideAirTemp, 64256); }, {{85, "-05"}}},
      {"oat 1.5 to even", [](M& m) { Poke(m, offsets::kOutsideAirTemp, 384); }, {{85, "+02"}}},
      {"oat 0.5 to even", [](M& m) { Poke(m, offsets::kOutsideAirTemp, 128); }, {{85, "+00"}}},
      {"oat 30000 is warm, held", [](M& m) { Poke(m, offsets::kOutsideAirTemp, 30000); }, {{85, "+99"}}},
      {"oat 30001 is cold, held", [](M& m) { Poke(m, offsets::kOutsideAirTemp, 30001); }, {{85, "-99"}}},
      {"oat just below zero", [](M& m) { Poke(m, offsets::kOutsideAirTemp, 65535); }, {{85, "-00"}}},
      {"gsp held", [](M& m) { Poke(m, offsets::kGroundSpeed, 1000 * 65536); }, {{86, "999"}}},
      {"gsp backwards", [](M& m) { Poke(m, offsets::kGroundSpeed, -655360); }, {{86, "-19"}}},
      {"adf top", [](M& m) { Poke(m, offsets::kAdfBearing, 65535); }, {{87, "35999"}}},
      {"adf 562.5 to even", [](M& m) { Poke(m, offsets::kAdfBearing, 1024); }, {{87, "00562"}}},
      {"adf signal 10", [](M& m) { Poke(m, offsets::kAdfSignal, 10); }, {{88, "0"}}},
      {"adf signal negative", [](M& m) { Poke(m, offsets::kAdfSignal, -50); }, {{88, "0"}}},
      {"vor2 grows", [](M& m) { Poke(m, offsets::kVor2, 1000); }, {{89, "1000"}}},
      // One DME 2 value, read twice: the VOR2 flag and the NAV2 distance.
      {"dme2 3000", [](M& m) { Poke(m, offsets::kDme2Distance, 3000); }, {{90, "1"}, {102, "3000"}}},
      {"dme2 3001", [](M& m) { Poke(m, offsets::kDme2Distance, 3001); }, {{90, "0"}, {102, "0000"}}},
      {"dme2 1", [](M& m) { Poke(m, offsets::kDme2Distance, 1); }, {{90, "1"}, {102, "0001"}}},
      {"dme2 top", [](M& m) { Poke(m, offsets::kDme2Distance, 65535); }, {{90, "0"}, {102, "0000"}}},
      {"to/from byte", [](M& m) { Poke(m, offsets::kNav1ToFrom, 255); }, {{92, "255"}}},
      {"needles unsigned", [](M& m) {
         Poke(m, offsets::kNav1Needle, 0xF6);
         Poke(m, offsets::kNav1Glideslope, 5);
       }, {{93, "246"}, {98, "005"}}},
      {"gps selection unsigned", [](M& m) { Poke(m, offsets::kNavGpsSelector, 0xFFFFFFFFu); },
       {{94, "4294967295"}}},
      {"gps course pi", [](M& m) { Poke(m, offsets::kGpsCourse, std::numbers::pi); }, {{95, "180"}}},
      {"gps course 0.1", [](M& m) { Poke(m, offsets::kGpsCourse, 0.1); }, {{95, "006"}}},
      {"gps course -0.1", [](M& m) { Poke(m, offsets::kGpsCourse, -0.1); }, {{95, "0-6"}}},
      {"needle left", [](M& m) { Poke(m, offsets::kGpsCrossTrack, -1852.0); }, {{96, "231"}}},
      {"needle held left", [](M& m) { Poke(m, offsets::kGpsCrossTrack, -20000.0); }, {{96, "129"}}},
      {"identifiers all dash after", [](M& m) {
         Poke(m, offsets::kNav1Ident, Ident("ABC"));
         Poke(m, offsets::kNav2Ident, Ident("ABC"));
         Poke(m, offsets::kGpsNextId, Ident("AB"));
       }, {{99, "ABC--"}, {101, "ABC--"}, {103, "AB---"}}},
      {"identifiers cut", [](M& m) { Poke(m, offsets::kGpsNextId, Ident("ABCDEF")); }, {{103, "ABCDE"}}},
      {"nav1 distance out of range", [](M& m) { Poke(m, offsets::kDme1Distance, 3001); }, {{100, "0000"}}},
      {"gps 54 nm", [](M& m) { Poke(m, offsets::kGpsDistance, 100000.0); }, {{104, "0540"}}},
      {"gps held", [](M& m) { Poke(m, offsets::kGpsDistance, 2000000.0); }, {{104, "9999"}}},
      // The map's GPS fields are not carried: fields 7 and 8 stay "0000".
      {"map gps values ignored", [](M& m) {
         Poke(m, offsets::kGpsTimeToGo, 75);
         Poke(m, offsets::kGpsDistance, 18520.0);
         Poke(m, offsets::kRadioAltitude, 6553600u);
       }, {{6, "0328"}, {7, "0000"}, {8, "0000"}, {104, "0100"}}},
      {"variation last", [](M& m) { Poke(m, offsets::kMagneticVariation, 64626); }, {{105, "-05"}}},
      {"traffic in the map's fields", [](M& m) {
         testing::UseTrafficSlot(m, 2, 40.5f, -3.25f, 2500.5f, 65036, "ABC123");
       }, {{13, "0"}, {14, "  40.50000000"}, {15, "  -3.25000000"}, {16, "02500"}, {17, "2"},
           {18, "   0.00000000"}, {70, "XXXXXXXXXXXXXXX"}, {71, "ABC123         "}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ClearMemory(memory);
    c.poke(memory);
    const std::vector<std::string> f = Fields(ExtendedMapReply(link.state));
    ASSERT_EQ(f.size(), 106u);
    for (const auto& [field, text] : c.fields) EXPECT_EQ(f[field], text) << "field " << field;
  }
}

TEST_F(PmapReplyTest, AValueThatCannotBeRoundedSendsNothing) {
  const std::pair<const char*, std::function<void(sim::OffsetMemory&)>> cases[] = {
      {"gps course NaN", [](sim::OffsetMemory& m) { Poke(m, offsets::kGpsCourse, kNaN); }},
      {"gps course infinite", [](sim::OffsetMemory& m) { Poke(m, offsets::kGpsCourse, kInf); }},
      {"gps distance NaN", [](sim::OffsetMemory& m) { Poke(m, offsets::kGpsDistance, kNaN); }},
      {"gps distance infinite", [](sim::OffsetMemory& m) { Poke(m, offsets::kGpsDistance, -kInf); }},
      {"heading NaN", [](sim::OffsetMemory& m) { Poke(m, offsets::kHeading, kNaN); }},
  };
  for (const auto& [name, poke] : cases) {
    SCOPED_TRACE(name);
    testing::ClearMemory(memory);
    poke(memory);
    try {
      ServeRequest(link.state, "xxPMAP");
      ADD_FAILURE() << "a reply was built";
    } catch (const RequestError& error) {
      EXPECT_STREQ(error.what(), kFpInvalid);
    }
  }
}

TEST_F(PmapReplyTest, DebugBlockFollowsTheLineWithTheSameTexts) {
  Poke(memory, offsets::kLatitude, 19330735118745600);
  Poke(memory, offsets::kLongitude, -192153584101141152);
  Poke(memory, offsets::kHeading, 5.5);
  Poke(memory, offsets::kWindDirection, 16384);
  Poke(memory, offsets::kWindSpeed, 150);
  Poke(memory, offsets::kRadioAltitude, 6553600u);
  Poke(memory, offsets::kAltitudeFeet, 3500);
  Poke(memory, offsets::kOutsideAirTemp, 3840);
  Poke(memory, offsets::kGroundSpeed, 655360);
  Poke(memory, offsets::kAdfBearing, 16384);
  Poke(memory, offsets::kAdfSignal, 50);
  Poke(memory, offsets::kVor2, 120);
  Poke(memory, offsets::kDme2Distance, 250);
  Poke(memory, offsets::kNav1Course, 270);
  Poke(memory, offsets::kNav1ToFrom, 1);
  Poke(memory, offsets::kNav1Needle, 0xF6);
  Poke(memory, offsets::kNavGpsSelector, 2u);
  Poke(memory, offsets::kGpsCourse, std::numbers::pi);
  Poke(memory, offsets::kGpsCrossTrack, 1852.0);
  Poke(memory, offsets::kNav1Glideslope, 5);
  Poke(memory, offsets::kNav1Ils, 1);
  Poke(memory, offsets::kNav1Ident, Ident("MAD"));
  Poke(memory, offsets::kDme1Distance, 123);
  Poke(memory, offsets::kNav2Ident, Ident("CPL"));
  Poke(memory, offsets::kGpsNextId, Ident("LEMD"));
  Poke(memory, offsets::kGpsDistance, 1852.0);
  Poke(memory, offsets::kMagneticVariation, 910);
  testing::UseTrafficSlot(memory, 15, -0.5f, 0.25f, 100.0f, 0, "Z");
  {
    LogCapture log(link.state);
    ExtendedMapReply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  LogCapture log(link.state);
  link.state.DebugEnabled = true;
  const std::string line = ExtendedMapReply(link.state);
  std::vector<std::string> expected = {
      "- Mapa Panel:" + std::string(21, '-'),
      "- Lat:  40.5000000000",
      "- Lon:  -3.7500000000",
      "- Dir:00550",
      "- Mag:005",
      "- Alt:03500",
      "- Vientos:090/99",
      "- RadAlt:0328",
      "- Oat:+15",
      "- Gsp:019",
      "- Adf:09000/1",
      "- Vor2:120/1",
      "- Crs:270",
      "- Tof:1",
      "- GsVor1:246",
      "- Gps:2/180/025",
      "- Ils:1",
      "- GsIls:005",
      "- Nav1:MAD--:0123",
      "- Nav2:CPL--:0250",
      "- Gps:LEMD-:0010",
  };
  for (int k = 1; k <= 15; ++k) {
    const std::string label = "- Tcas" + std::string(k < 10 ? "0" : "") + std::to_string(k) + ":";
    expected.push_back(k == 15 ? label + "Z                -0.50000000/   0.25000000/00100/0"
                               : label + "XXXXXXXXXXXXXXX   0.00000000/   0.00000000/00000/0");
  }
  EXPECT_EQ(log.lines, expected);
  EXPECT_EQ(line.substr(0, 66),
            "  40.5000000000:  -3.7500000000:00550:090:99:0328:0000:0000:03500:");
  EXPECT_EQ(line.substr(line.size() - 87),
            "+15:019:09000:1:120:1:270:1:246:2:180:025:1:005:MAD--:0123:CPL--:0250:LEMD-:0010:005:"
            "\r\n");
}

TEST_F(PmapReplyTest, RandomMemoryKeepsTheLineShape) {
  std::mt19937_64 random(0x504D4150);
  for (int round = 0; round < 200; ++round) {
    testing::FillPlausible(memory, random);
    const std::string line = ExtendedMapReply(link.state);
    SCOPED_TRACE(line);
    const std::vector<std::string> f = Fields(line);
    ASSERT_EQ(f.size(), 106u);
    // Field, fewest and most characters.
    std::vector<std::tuple<int, size_t, size_t>> widths = {
        {1, 15, 15}, {2, 15, 15}, {3, 5, 5},   {4, 3, 3},   {5, 2, 2},   {6, 4, 4},
        {7, 4, 4},   {8, 4, 4},   {9, 5, 5},   {85, 3, 3},  {86, 3, 3},  {87, 5, 5},
        {88, 1, 1},  {89, 3, 5},  {90, 1, 1},  {91, 3, 5},  {92, 1, 3},  {93, 3, 3},
        {94, 1, 10}, {95, 3, 3},  {96, 3, 3},  {97, 1, 3},  {98, 3, 3},  {99, 5, 5},
        {100, 4, 4}, {101, 5, 5}, {102, 4, 4}, {103, 5, 5}, {104, 4, 4}, {105, 3, 4}};
    for (int k = 1; k <= 15; ++k) {
      widths.emplace_back(6 + 4 * k, 13, 13);
      widths.emplace_back(7 + 4 * k, 13, 13);
      widths.emplace_back(8 + 4 * k, 5, 5);
      widths.emplace_back(9 + 4 * k, 1, 1);
      widths.emplace_back(69 + k, 15, 15);
    }
    for (auto [field, fewest, most] : widths) {
      EXPECT_GE(f[field].size(), fewest) << "field " << field;
      EXPECT_LE(f[field].size(), most) << "field " << field;
    }
  }
}

}  // namespace
}  // namespace tavelor
