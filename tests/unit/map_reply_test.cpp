#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "replies/map_reply.h"
#include "replies/altitude_rules.h"
#include "replies/angle_rules.h"
#include "replies/field_forms.h"
#include "replies/identifier_rules.h"
#include "replies/speed_rules.h"
#include "replies/traffic.h"
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

using testing::CallSign;
using testing::Fields;
using testing::Ident;
using testing::LogCapture;
using testing::Poke;
using testing::Repeat;
using testing::SimLink;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(MapRules, PositionHeadingWindAltitudeAndVariation) {
  const struct {
    const char* name;
    std::string text;
    std::string expected;
  } cases[] = {
      {"lat 40.5", LatitudeText(19330735118745600), "  40.5000000000"},
      {"lat south", LatitudeText(-16165649421969654), " -33.8688000000"},
      {"lon -180 fills the width", LongitudeText(INT64_MIN), "-180.0000000000"},
      {"lon west", LongitudeText(-6067364710143992832), "-118.4085000000"},
      {"dir 5.5", HeadingHundredthsText(5.5), "00550"},
      {"dir 359.996 is 36000", HeadingHundredthsText(359.996), "36000"},
      {"dir half to even down", HeadingHundredthsText(0.125), "00012"},
      {"dir half to even up", HeadingHundredthsText(0.375), "00038"},
      {"dir negative pads before the sign", HeadingHundredthsText(-0.5), "00-50"},
      {"dir grows past 5", HeadingHundredthsText(1000.0), "100000"},
      {"wind dir 22.5 to even", WholeDegreesText(4096), "022"},
      {"wind dir 67.5 to even", WholeDegreesText(12288), "068"},
      {"wind dir top is 360", WholeDegreesText(65535), "360"},
      {"wind speed 99", WindSpeedText(99), "99"},
      {"wind speed 100 held", WindSpeedText(100), "99"},
      {"alt top", PaddedDec(65535, 5), "65535"},
      {"radalt 9998", RadioAltitudeText(199721761, 4), "9998"},
      {"radalt 9999", RadioAltitudeText(199741736, 4), "9999"},
      {"radalt 10001 held", RadioAltitudeText(199765707, 4), "9999"},
      {"radalt unsigned top held", RadioAltitudeText(0xFFFFFFFF, 4), "9999"},
      {"mag 5 east", MagText(910), "005"},
      {"mag 5 west", MagText(64626), "-05"},
      {"mag 22.5 to even", MagText(4096), "022"},
      {"mag 337.5 to even is 22 west", MagText(61440), "-22"},
      {"mag 180 stays east", MagText(32768), "0180"},
      {"mag 181 is 179 west", MagText(32950), "-179"},
      {"mag top is minus zero", MagText(65535), "-00"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, c.expected) << c.name;
}

TEST(TrafficRules, TrendDigit) {
  const std::pair<uint16_t, const char*> trends[] = {
      {0, "0"},     {300, "0"},     {301, "1"},     {30000, "1"}, {30001, "2"},
      {65236, "0"}, {65235, "2"},   {65036, "2"},   {65535, "0"},
  };
  for (const auto& [raw, digit] : trends) EXPECT_EQ(TrendDigit(raw), digit) << raw;
}

class MapReplyTest : public ::testing::Test {
 protected:
  SimLink link;
  sim::OffsetMemory& memory = link.peer.Memory();

  void UseSlot(int k, float lat, float lon, float alt, uint16_t vs, std::string_view call) {
    testing::UseTrafficSlot(memory, k, lat, lon, alt, vs, call);
  }
};

TEST_F(MapReplyTest, GpsFieldsAndTheirClamps) {
  const struct {
    const char* name;
    double metres;
    int32_t seconds;
    const char* dme;
    const char* ete;
  } cases[] = {
      {"none", 0, 0, "  0", "0000"},
      {"7 nm", 12345.6, 75, "  7", "0075"},
      {"45 nm", 84000, 5939, " 45", "5939"},
      {"999 nm exactly", 999 / 0.000539957, 5940, "999", "5940"},
      {"beyond 999 nm", 2000000, 5941, "999", "5940"},
      {"negative passes", -5000, -3, " -3", "00-3"},
      {"half to even", 0.5 / 0.000539957, 86400, "  0", "5940"},
  };
  for (const auto& c : cases) {
    Poke(memory, offsets::kGpsDistance, c.metres);
    Poke(memory, offsets::kGpsTimeToGo, c.seconds);
    const std::vector<std::string> f = Fields(MapReply(link.state));
    ASSERT_EQ(f.size(), 87u) << c.name;
    EXPECT_EQ(f[7], c.dme) << c.name;
    EXPECT_EQ(f[8], c.ete) << c.name;
  }
}

TEST_F(MapReplyTest, TrafficSlotsKeepTheirOwnFields) {
  UseSlot(1, 40.5f, -3.25f, 2500.5f, 65036, std::string_view("ABC123\0\0\0", 9));
  // Slot 2 is empty: whatever else it holds is not looked at, not even a value that could
  // not be rounded.
  Poke(memory, offsets::Traffic(2).latitude, 12.0f);
  Poke(memory, offsets::Traffic(2).altitude, std::numeric_limits<float>::quiet_NaN());
  Poke(memory, offsets::Traffic(2).callSign, CallSign("GHOST"));
  UseSlot(3, -0.1f, 179.99f, -50.0f, 301, "ABCDEFGHIJKLMNO");
  UseSlot(15, 0.0f, 0.0f, 99999.6f, 300, "");

  const std::vector<std::string> f = Fields(MapReply(link.state));
  ASSERT_EQ(f.size(), 87u);
  const struct {
    int slot;
    const char* lat;
    const char* lon;
    const char* alt;
    const char* trend;
    const char* call;
  } slots[] = {
      {1, "  40.50000000", "  -3.25000000", "02500", "2", "ABC123         "},
      {2, "   0.00000000", "   0.00000000", "00000", "0", "XXXXXXXXXXXXXXX"},
      // The slot's 32-bit reals go out at their exact value.
      {3, "  -0.10000000", " 179.99000549", "00-50", "1", "ABCDEFGHIJKLMNO"},
      {4, "   0.00000000", "   0.00000000", "00000", "0", "XXXXXXXXXXXXXXX"},
      {15, "   0.00000000", "   0.00000000", "100000", "0", "               "},
  };
  for (const auto& s : slots) {
    SCOPED_TRACE(s.slot);
    EXPECT_EQ(f[6 + 4 * s.slot], s.lat);
    EXPECT_EQ(f[7 + 4 * s.slot], s.lon);
    EXPECT_EQ(f[8 + 4 * s.slot], s.alt);
    EXPECT_EQ(f[9 + 4 * s.slot], s.trend);
    EXPECT_EQ(f[69 + s.slot], s.call);
  }
  EXPECT_EQ(f[85], "0000");
  EXPECT_EQ(f[86], "000");
}

TEST_F(MapReplyTest, AValueThatCannotBeRoundedSendsNothing) {
  const struct {
    const char* name;
    void (*poke)(sim::OffsetMemory&);
  } cases[] = {
      {"heading NaN", [](sim::OffsetMemory& m) { Poke(m, offsets::kHeading, kNaN); }},
      {"heading infinite", [](sim::OffsetMemory& m) { Poke(m, offsets::kHeading, -kInf); }},
      {"heading beyond the 64-bit range",
       [](sim::OffsetMemory& m) { Poke(m, offsets::kHeading, 1e300); }},
      {"gps distance NaN", [](sim::OffsetMemory& m) { Poke(m, offsets::kGpsDistance, kNaN); }},
      {"gps distance infinite", [](sim::OffsetMemory& m) { Poke(m, offsets::kGpsDistance, kInf); }},
      {"used slot altitude infinite",
       [](sim::OffsetMemory& m) {
         Poke(m, offsets::Traffic(7).id, 7u);
         Poke(m, offsets::Traffic(7).altitude, std::numeric_limits<float>::infinity());
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ClearMemory(memory);
    c.poke(memory);
    try {
      ServeRequest(link.state, "xxMAPS");
      ADD_FAILURE() << "a reply was built";
    } catch (const RequestError& error) {
      EXPECT_STREQ(error.what(), kFpInvalid);
    }
  }
}

TEST_F(MapReplyTest, DebugBlockFollowsTheLineWithTheSameTexts) {
  Poke(memory, offsets::kLatitude, 19330735118745600);
  Poke(memory, offsets::kLongitude, -192153584101141152);
  Poke(memory, offsets::kHeading, 271.634);
  Poke(memory, offsets::kWindDirection, 16384);
  Poke(memory, offsets::kWindSpeed, 12);
  Poke(memory, offsets::kGpsNextId, Ident("LEMD"));
  Poke(memory, offsets::kGpsDistance, 18520.0);
  Poke(memory, offsets::kGpsTimeToGo, 600);
  Poke(memory, offsets::kAltitudeFeet, 3500);
  Poke(memory, offsets::kRadioAltitude, 6553600u);
  Poke(memory, offsets::kMagneticVariation, 64626);
  UseSlot(2, 40.5f, -3.25f, 2500.0f, 1000, "IBE123");

  {
    LogCapture log(link.state);
    MapReply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  LogCapture log(link.state);
  link.state.DebugEnabled = true;
  const std::string line = MapReply(link.state);
  std::vector<std::string> expected = {
      "- Mapa Panel:" + std::string(21, '-'),
      "- Lat:  40.5000000000",
      "- Lon:  -3.7500000000",
      "- Dir:27163",
      "- Mag:-05",
      "- Alt:03500",
      "- Vientos:090/12",
      "- RadAlt:0328",
      "- Gps Id:LEMD ",
      "- Gps Dme: 10",
      "- Gps Ete:0600",
  };
  for (int k = 1; k <= 15; ++k) {
    const std::string label = "- Tcas" + std::string(k < 10 ? "0" : "") + std::to_string(k) + ":";
    expected.push_back(k == 2 ? label + "IBE123           40.50000000/  -3.25000000/02500/1"
                              : label + "XXXXXXXXXXXXXXX   0.00000000/   0.00000000/00000/0");
  }
  EXPECT_EQ(log.lines, expected);
  EXPECT_EQ(line.substr(0, 66),
            "  40.5000000000:  -3.7500000000:27163:090:12:LEMD : 10:0600:03500:");
  EXPECT_EQ(line.substr(line.size() - 12), ":0328:-05:\r\n");
}

// Random memory, kept to values a simulator could hold: the line keeps its shape and every
// fixed-width field its width.
TEST_F(MapReplyTest, RandomMemoryKeepsTheLineShape) {
  std::mt19937_64 random(0x4D415053);
  for (int round = 0; round < 200; ++round) {
    testing::FillPlausible(memory, random);
    const std::string line = MapReply(link.state);
    SCOPED_TRACE(line);
    const std::vector<std::string> f = Fields(line);
    ASSERT_EQ(f.size(), 87u);
    std::vector<std::pair<int, size_t>> widths = {{1, 15}, {2, 15}, {3, 5}, {4, 3}, {5, 2},
                                                  {6, 5},  {7, 3},  {8, 4}, {9, 5}, {85, 4}};
    for (int k = 1; k <= 15; ++k) {
      for (auto [field, width] : {std::pair{6 + 4 * k, 13}, {7 + 4 * k, 13}, {8 + 4 * k, 5},
                                  {9 + 4 * k, 1}, {69 + k, 15}}) {
        widths.emplace_back(field, width);
      }
    }
    for (auto [field, width] : widths) EXPECT_EQ(f[field].size(), width) << "field " << field;
    EXPECT_TRUE(f[86].size() == 3 || f[86].size() == 4) << f[86];  // "005" to "-179", "0180"
  }
}

}  // namespace
}  // namespace tavelor
