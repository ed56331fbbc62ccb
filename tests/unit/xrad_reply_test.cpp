#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "replies/xrad_reply.h"
#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "support/map_memory.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"
#include "text/real_math.h"

namespace tavelor {
namespace {

using testing::ExpectWidths;
using testing::FieldsOf;
using testing::FillPlausible;
using testing::LogCapture;
using testing::Poke;
using testing::RequestErrorOf;
using testing::SimLink;
using Memory = sim::OffsetMemory;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr size_t kFields = 21;
constexpr int64_t kLatitude45North = 10001750LL << 31;  // 10001750 x 2^32 units per 90 degrees

TEST(XradReply, FieldsFromPokedValues) {
  const struct {
    const char* name;
    std::function<void(Memory&)> poke;
    int field;  // 1-based
    std::string text;
  } cases[] = {
      {"audio bits", [](Memory& m) { Poke(m, offsets::kAudioSelector, 0x90); }, 1, "10010000"},
      {"com1 in hertz", [](Memory& m) { Poke(m, offsets::kCom1ActiveHz, 121500000); }, 2, "121.500"},
      {"com hertz digits dropped", [](Memory& m) { Poke(m, offsets::kCom1StandbyHz, 118258999); }, 3, "118.258"},
      {"com eight digits", [](Memory& m) { Poke(m, offsets::kCom2ActiveHz, 99999999); }, 4, "999.999"},
      {"com zero", [](Memory& m) { Poke(m, offsets::kCom2StandbyHz, 0); }, 5, "0."},
      {"com negative, signed", [](Memory& m) { Poke(m, offsets::kCom2StandbyHz, -1); }, 5, "-1."},
      {"com most negative", [](Memory& m) { Poke(m, offsets::kCom2StandbyHz, INT32_MIN); }, 5, "-21.474"},
      {"dme1 at the limit", [](Memory& m) { Poke(m, offsets::kDme1Distance, 6500); }, 8, "650.0"},
      {"dme1 no lock", [](Memory& m) { Poke(m, offsets::kDme1Distance, 6501); }, 8, "  0.0"},
      {"dme2 unsigned, no lock", [](Memory& m) { Poke(m, offsets::kDme2Distance, 65535); }, 11, "  0.0"},
      {"transponder unsigned", [](Memory& m) { Poke(m, offsets::kTransponder, 0xFFFF); }, 13, "FFFF"},
      {"ap nav/gps last", [](Memory& m) { Poke(m, offsets::kNavGpsSelector, 1); }, 14, "0000001"},
      {"ap switch unsigned, in full", [](Memory& m) { Poke(m, offsets::kApAltitudeHold, 4294967295u); }, 14,
       "0004294967295000"},
      {"ap alt negative", [](Memory& m) { Poke(m, offsets::kApAltitude, -6553600); }, 15, "0-328"},
      {"ap vs 8001 has five digits", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 8001); }, 16, "-9999"},
      {"ap vs -1", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 65535); }, 16, "-0001"},
      {"lat 45 north", [](Memory& m) { Poke(m, offsets::kLatitude, kLatitude45North); }, 17, "  45.0000000000"},
      {"lat 90 south", [](Memory& m) { Poke(m, offsets::kLatitude, -2 * kLatitude45North); }, 17, " -90.0000000000"},
      {"lon 180 west, no blank", [](Memory& m) { Poke(m, offsets::kLongitude, INT64_MIN); }, 18, "-180.0000000000"},
      {"lon 90 east", [](Memory& m) { Poke(m, offsets::kLongitude, INT64_C(1) << 62); }, 18, "  90.0000000000"},
      {"dir rounds up to 360", [](Memory& m) { Poke(m, offsets::kHeading, 359.996); }, 19, "36000"},
      {"dir half to even", [](Memory& m) { Poke(m, offsets::kHeading, 0.125); }, 19, "00012"},
      {"dir negative, zeros before the sign", [](Memory& m) { Poke(m, offsets::kHeading, -0.5); }, 19, "00-50"},
      {"dir keeps the low 32 bits", [](Memory& m) { Poke(m, offsets::kHeading, 42949672.97); }, 19, "00001"},
      {"dir 2^31 hundredths wraps", [](Memory& m) { Poke(m, offsets::kHeading, 21474836.48); }, 19, "-2147483648"},
      {"avionics and battery", [](Memory& m) { Poke(m, offsets::kAvionics, 1); Poke(m, offsets::kBattery, 1); }, 20, "2"},
      {"switch bytes unsigned", [](Memory& m) { Poke(m, offsets::kAvionics, 255); Poke(m, offsets::kBattery, 255); }, 20, "510"},
      {"mag 180", [](Memory& m) { Poke(m, offsets::kMagneticVariation, 32768); }, 21, "0180"},
      {"mag 181", [](Memory& m) { Poke(m, offsets::kMagneticVariation, 32950); }, 21, "-179"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;
    c.poke(link.peer.Memory());
    const std::vector<std::string> fields = FieldsOf(XradReply(link.state));
    ASSERT_EQ(fields.size(), kFields);
    EXPECT_EQ(fields[c.field - 1], c.text);
  }
}

TEST(XradReply, AGyroHeadingThatCannotBeRoundedSendsNothing) {
  for (double heading : {std::nan(""), kInf, -kInf, 1e300}) {
    SCOPED_TRACE(heading);
    SimLink link;
    Poke(link.peer.Memory(), offsets::kHeading, heading);
    EXPECT_EQ(RequestErrorOf(XradReply, link.state), kFpInvalid);
  }
}

TEST(XradReply, DebugBlockCarriesTheReplyTextsWithTheVariationBeforeTheSwitches) {
  SimLink link;
  Memory& m = link.peer.Memory();
  Poke(m, offsets::kAudioSelector, 0x90);
  Poke(m, offsets::kCom1ActiveHz, 118250000); Poke(m, offsets::kCom1StandbyHz, 121500);
  Poke(m, offsets::kCom2ActiveHz, 119100000); Poke(m, offsets::kCom2StandbyHz, 124850);
  Poke(m, offsets::kNav1Active, 0x1050); Poke(m, offsets::kNav1Standby, 0x1390);
  Poke(m, offsets::kDme1Distance, 123);
  Poke(m, offsets::kNav2Active, 0x1410); Poke(m, offsets::kNav2Standby, 0x0900);
  Poke(m, offsets::kAdfFrequency, 0x0345); Poke(m, offsets::kTransponder, 0x1200);
  Poke(m, offsets::kApMaster, 1); Poke(m, offsets::kApHeadingHold, 1);
  Poke(m, offsets::kApAltitudeHold, 1);
  Poke(m, offsets::kApAltitude, 99876861); Poke(m, offsets::kApVerticalSpeed, 700);
  Poke(m, offsets::kLatitude, 19330735118745600);    // 40.5 north
  Poke(m, offsets::kLongitude, -192153584101141152);  // 3.75 west
  Poke(m, offsets::kHeading, 271.634);
  Poke(m, offsets::kAvionics, 1); Poke(m, offsets::kBattery, 1);
  Poke(m, offsets::kMagneticVariation, 64626);

  LogCapture log(link.state);
  {
    XradReply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  link.state.DebugEnabled = true;
  const std::string line = XradReply(link.state);
  EXPECT_EQ(line,
            "10010000:118.250:121.500:119.100:124.850:110.50:113.90: 12.3:114.10:109.00:  0.0:0345:"
            "1200:1101000:05000:+0700:  40.5000000000:  -3.7500000000:27163:2:-05:\r\n");
  EXPECT_EQ(line.size(), 157u);
  const std::vector<std::string> expected = {
      "- Datos Radio XRAD:-----------------",
      "- Audio:10010000", "- Com1a:118.250", "- Com1b:121.500", "- Com2a:119.100",
      "- Com2b:124.850", "- Nav1a:110.50", "- Nav1b:113.90", "- Dme1: 12.3", "- Nav2a:114.10",
      "- Nav2b:109.00", "- Dme2:  0.0", "- Adf:0345", "- Trs:1200", "- Ap:1101000",
      "- ApAlt:05000", "- ApVsp:+0700", "- Lat:  40.5000000000", "- Lon:  -3.7500000000",
      "- Dir:27163", "- Mag:-05", "- Avi+Bat:2",
  };
  EXPECT_EQ(log.lines, expected);
}

// Random memory kept to what an aircraft can show: every field keeps its width.
TEST(XradReply, RandomPlausibleMemoryKeepsEveryFieldWidth) {
  SimLink link;
  Memory& m = link.peer.Memory();
  std::mt19937_64 random(20240614);
  auto between = [&](int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(random); };
  for (int i = 0; i < 200; ++i) {
    SCOPED_TRACE(i);
    FillPlausible(m, random);  // any bytes; position and heading in range
    for (auto com : {offsets::kCom1ActiveHz, offsets::kCom1StandbyHz, offsets::kCom2ActiveHz,
                     offsets::kCom2StandbyHz}) {
      Poke(m, com, static_cast<int32_t>(between(118000, 136990) * (between(0, 1) ? 1000 : 1)));
    }
    for (auto sw : {offsets::kApMaster, offsets::kApHeadingHold, offsets::kApNavHold,
                    offsets::kApAltitudeHold, offsets::kApLocaliserHold, offsets::kApGlideslopeHold,
                    offsets::kNavGpsSelector}) {
      Poke(m, sw, static_cast<uint32_t>(between(0, 1)));
    }
    Poke(m, offsets::kApAltitude, static_cast<int32_t>(between(0, 99999) / 3.28084 * 65536));
    Poke(m, offsets::kAvionics, static_cast<uint8_t>(between(0, 1)));
    Poke(m, offsets::kBattery, static_cast<uint8_t>(between(0, 1)));
    Poke(m, offsets::kMagneticVariation, static_cast<uint16_t>(between(-30, 30) * 65536 / 360));
    ExpectWidths(XradReply(link.state), "XRAD");
  }
}

}  // namespace
}  // namespace tavelor
