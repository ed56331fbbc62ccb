#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "replies/fgp_reply.h"
#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"
#include "text/real_math.h"

namespace tavelor {
namespace {

using testing::ExpectWidths;
using testing::FieldsOf;
using testing::LogCapture;
using testing::Poke;
using testing::PokeFlyingPanel;
using testing::RequestErrorOf;
using testing::SimLink;
using testing::WritesOf;
using Memory = sim::OffsetMemory;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr size_t kFields = 11;

TEST(FgpReply, FieldsFromPokedValues) {
  const struct {
    const char* name;
    std::function<void(Memory&)> poke;
    int field;  // 1-based
    std::string text;
  } cases[] = {
      {"master first", [](Memory& m) { Poke(m, offsets::kApMaster, 1); }, 1, "10000000000"},
      {"flight director second", [](Memory& m) { Poke(m, offsets::kFlightDirector, 1); }, 1, "01000000000"},
      {"wing leveller tenth", [](Memory& m) { Poke(m, offsets::kApWingLeveller, 1); }, 1, "00000000010"},
      {"nav/gps last", [](Memory& m) { Poke(m, offsets::kNavGpsSelector, 1); }, 1, "00000000001"},
      {"a switch taken signed", [](Memory& m) { Poke(m, offsets::kApYawDamper, 0xFFFFFFFF); }, 1, "00000000-100"},
      {"hdg a quarter turn", [](Memory& m) { Poke(m, offsets::kApHeading, 16384); }, 2, "090"},
      {"hdg just below a turn, no wrap", [](Memory& m) { Poke(m, offsets::kApHeading, 65535); }, 2, "360"},
      {"crs", [](Memory& m) { Poke(m, offsets::kNav1Course, 5); }, 3, "005"},
      {"crs unsigned, never cut", [](Memory& m) { Poke(m, offsets::kNav1Course, 65535); }, 3, "65535"},
      {"ap alt negative, zeros before the sign", [](Memory& m) { Poke(m, offsets::kApAltitude, -6553600); }, 4, "0-328"},
      {"ap vs 8001 has five digits", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 8001); }, 5, "-9999"},
      {"ap vs -1", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 65535); }, 5, "-0001"},
      {"ap ias past the clamp", [](Memory& m) { Poke(m, offsets::kApAirspeed, 1000); }, 6, "999"},
      {"derr half to even up", [](Memory& m) { Poke(m, offsets::kHeading, 359.5); }, 7, "360"},
      {"derr half to even down", [](Memory& m) { Poke(m, offsets::kHeading, 2.5); }, 7, "002"},
      {"derr negative", [](Memory& m) { Poke(m, offsets::kHeading, -1.5); }, 7, "0-2"},
      {"derr keeps the low 32 bits", [](Memory& m) { Poke(m, offsets::kHeading, 4294967301.0); }, 7, "005"},
      {"derr 2^31 wraps negative", [](Memory& m) { Poke(m, offsets::kHeading, 2147483648.0); }, 7, "-2147483648"},
      {"dir to, radial 0", [](Memory& m) { Poke(m, offsets::kNav1Radial, 0); }, 8, "180"},
      {"dir to, radial 090", [](Memory& m) { Poke(m, offsets::kNav1Radial, 16384); }, 8, "270"},
      {"dir to, radial 180", [](Memory& m) { Poke(m, offsets::kNav1Radial, 32768); }, 8, "000"},
      {"dir to, radial 270", [](Memory& m) { Poke(m, offsets::kNav1Radial, 49152); }, 8, "090"},
      {"dir to, radial just under 179.5", [](Memory& m) { Poke(m, offsets::kNav1Radial, 32676); }, 8, "359"},
      {"dir to, radial just over 179.5", [](Memory& m) { Poke(m, offsets::kNav1Radial, 32677); }, 8, "000"},
      {"dir to, radial half to even", [](Memory& m) { Poke(m, offsets::kNav1Radial, 4096); }, 8, "202"},
      {"dir to, radial rounds to 360", [](Memory& m) { Poke(m, offsets::kNav1Radial, 65445); }, 8, "180"},
      {"dir to, radial 359", [](Memory& m) { Poke(m, offsets::kNav1Radial, 65444); }, 8, "179"},
      {"alt to 149", [](Memory& m) { Poke(m, offsets::kAltitudeFeet, 149); }, 9, "00100"},
      {"alt to 150", [](Memory& m) { Poke(m, offsets::kAltitudeFeet, 150); }, 9, "00200"},
      {"alt to 250 half to even", [](Memory& m) { Poke(m, offsets::kAltitudeFeet, 250); }, 9, "00200"},
      {"alt to 2450 half to even", [](Memory& m) { Poke(m, offsets::kAltitudeFeet, 2450); }, 9, "02400"},
      {"alt to 2550 half to even", [](Memory& m) { Poke(m, offsets::kAltitudeFeet, 2550); }, 9, "02600"},
      {"alt to unsigned", [](Memory& m) { Poke(m, offsets::kAltitudeFeet, 65535); }, 9, "65500"},
      {"ap mach 0.78", [](Memory& m) { Poke(m, offsets::kApMach, 51118); }, 10, "078"},
      {"ap mach negative", [](Memory& m) { Poke(m, offsets::kApMach, -655); }, 10, "0-1"},
      {"qnh standard", [](Memory& m) { Poke(m, offsets::kAltimeterSetting, 16212); }, 11, "101325"},
      {"qnh half to even down", [](Memory& m) { Poke(m, offsets::kAltimeterSetting, 16210); }, 11, "101312"},
      {"qnh half to even up", [](Memory& m) { Poke(m, offsets::kAltimeterSetting, 16214); }, 11, "101338"},
      {"qnh 1000", [](Memory& m) { Poke(m, offsets::kAltimeterSetting, 16000); }, 11, "100000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;
    c.poke(link.peer.Memory());
    const std::vector<std::string> fields = FieldsOf(FgpReply(link.state));
    ASSERT_EQ(fields.size(), kFields);
    EXPECT_EQ(fields[c.field - 1], c.text);
  }
}

TEST(FgpReply, AGyroHeadingThatIsNotFiniteSendsNothingAndSkipsTheResend) {
  for (double heading : {std::nan(""), kInf, -kInf, 1e300}) {
    SCOPED_TRACE(heading);
    SimLink link;
    Poke(link.peer.Memory(), offsets::kApMach, 52429);
    Poke(link.peer.Memory(), offsets::kHeading, heading);
    link.state.FgpRefreshCount = 100;  // this request would re-send
    EXPECT_EQ(RequestErrorOf(FgpReply, link.state), kFpInvalid);
    EXPECT_TRUE(WritesOf(link).empty());
    EXPECT_EQ(link.state.FgpRefreshCount, 100);
  }
}

TEST(FgpReply, DebugBlockCarriesTheReplyTexts) {
  SimLink link;
  Memory& m = link.peer.Memory();
  Poke(m, offsets::kApMaster, 1); Poke(m, offsets::kFlightDirector, 1);
  Poke(m, offsets::kApHeadingHold, 1); Poke(m, offsets::kApAltitudeHold, 1);
  Poke(m, offsets::kApNavHold, 0); Poke(m, offsets::kApLocaliserHold, 0);
  Poke(m, offsets::kApGlideslopeHold, 0); Poke(m, offsets::kApAirspeedHold, 0);
  Poke(m, offsets::kApYawDamper, 0); Poke(m, offsets::kApWingLeveller, 0);
  Poke(m, offsets::kNavGpsSelector, 0);
  Poke(m, offsets::kApHeading, 49152); Poke(m, offsets::kNav1Course, 90);
  Poke(m, offsets::kApAltitude, 99876861); Poke(m, offsets::kApVerticalSpeed, 700);
  Poke(m, offsets::kApAirspeed, 120); Poke(m, offsets::kHeading, 267.6);
  Poke(m, offsets::kNav1Radial, 40960); Poke(m, offsets::kAltitudeFeet, 4520);
  Poke(m, offsets::kApMach, 51118); Poke(m, offsets::kAltimeterSetting, 16212);

  LogCapture log(link.state);
  {
    FgpReply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  link.state.DebugEnabled = true;
  EXPECT_EQ(FgpReply(link.state), "11000110000:270:090:05000:+0700:120:268:045:04500:078:101325:\r\n");
  const std::vector<std::string> expected = {
      "- Fgp Panel:----------------------",
      "- Ap:11000110000", "- Hdg:270", "- Crs:090", "- Ap Alt:05000", "- Ap Vsp:+0700",
      "- Ap Ias:120", "- Derr:268", "- Dir To:045", "- Alt To:04500", "- Ap Mach:078",
      "- Qnh:101325",
  };
  EXPECT_EQ(log.lines, expected);
}

// Whatever a flying aircraft shows, every field keeps the width the panel cuts it at.
TEST(FgpReply, RandomPanelsKeepEveryFieldWidth) {
  SimLink link;
  std::mt19937 rng(20240613);
  for (int i = 0; i < 300; ++i) {
    SCOPED_TRACE(i);
    link.state.FgpRefreshCount = 0;
    PokeFlyingPanel(link.peer.Memory(), rng);
    for (auto sw : {offsets::kApYawDamper, offsets::kApWingLeveller}) {
      Poke(link.peer.Memory(), sw, static_cast<uint32_t>(rng() % 2));
    }
    ExpectWidths(FgpReply(link.state), "FGP");
  }
}

}  // namespace
}  // namespace tavelor
