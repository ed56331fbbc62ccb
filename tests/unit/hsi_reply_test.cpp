#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "replies/hsi_reply.h"
#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"
#include "text/real_math.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

using testing::ExpectWidths;
using testing::FieldsOf;
using testing::IdentOf;
using testing::LogCapture;
using testing::Poke;
using testing::PokeFlyingPanel;
using testing::RequestErrorOf;
using testing::SimLink;
using Memory = sim::OffsetMemory;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(HsiReply, FieldsFromPokedValues) {
  const struct {
    const char* name;
    std::function<void(Memory&)> poke;
    int field;  // 1-based
    std::string text;
  } cases[] = {
      {"heading half to even down", [](Memory& m) { Poke(m, offsets::kHeading, 0.125); }, 1, "00012"},
      {"heading half to even up", [](Memory& m) { Poke(m, offsets::kHeading, 0.375); }, 1, "00038"},
      {"heading negative, zeros before the sign", [](Memory& m) { Poke(m, offsets::kHeading, -0.5); }, 1, "00-50"},
      {"heading hundredths", [](Memory& m) { Poke(m, offsets::kHeading, 123.456); }, 1, "12346"},
      {"adf exactly half a hundredth", [](Memory& m) { Poke(m, offsets::kAdfBearing, 1024); }, 2, "00562"},
      {"adf just below a turn", [](Memory& m) { Poke(m, offsets::kAdfBearing, 65535); }, 2, "35999"},
      {"adf three quarters", [](Memory& m) { Poke(m, offsets::kAdfBearing, 49152); }, 2, "27000"},
      {"vor2 unsigned, never cut", [](Memory& m) { Poke(m, offsets::kVor2, 65535); }, 3, "65535"},
      {"dme1 at the limit", [](Memory& m) { Poke(m, offsets::kDme1Distance, 65000); }, 4, "650000"},
      {"dme1 just beyond", [](Memory& m) { Poke(m, offsets::kDme1Distance, 65001); }, 4, "00000"},
      {"dme2 hundredths", [](Memory& m) { Poke(m, offsets::kDme2Distance, 123); }, 5, "01230"},
      {"hdg a quarter turn", [](Memory& m) { Poke(m, offsets::kApHeading, 16384); }, 6, "090"},
      {"hdg just below a turn", [](Memory& m) { Poke(m, offsets::kApHeading, 65535); }, 6, "360"},
      {"crs", [](Memory& m) { Poke(m, offsets::kNav1Course, 7); }, 7, "007"},
      {"needle byte unsigned", [](Memory& m) { Poke(m, offsets::kNav1Needle, 0xF6); }, 8, "246"},
      {"glideslope byte unsigned", [](Memory& m) { Poke(m, offsets::kNav1Glideslope, 0xFF); }, 9, "255"},
      {"to/from byte unsigned", [](Memory& m) { Poke(m, offsets::kNav1ToFrom, 0xFF); }, 10, "255"},
      {"ils", [](Memory& m) { Poke(m, offsets::kNav1Ils, 1); }, 11, "1"},
      {"ap master alone", [](Memory& m) { Poke(m, offsets::kApMaster, 1); }, 12, "1000000"},
      {"ap heading hold second", [](Memory& m) { Poke(m, offsets::kApHeadingHold, 1); }, 12, "0100000"},
      {"ap nav hold third", [](Memory& m) { Poke(m, offsets::kApNavHold, 1); }, 12, "0010000"},
      {"ap nav/gps last", [](Memory& m) { Poke(m, offsets::kNavGpsSelector, 1); }, 12, "0000001"},
      {"ap switch unsigned", [](Memory& m) { Poke(m, offsets::kApLocaliserHold, 0xFFFFFFFF); }, 12,
       "0000429496729500"},
      {"ap altitude 10000 ft", [](Memory& m) { Poke(m, offsets::kApAltitude, 199753728); }, 13, "10000"},
      {"ap altitude negative", [](Memory& m) { Poke(m, offsets::kApAltitude, -6553600); }, 13, "0-328"},
      {"ap vs -1", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 65535); }, 14, "-0001"},
      {"ap vs -8000", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 57536); }, 14, "-8000"},
      {"ap vs +8000 stays positive", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 8000); }, 14, "+8000"},
      {"ap vs 8001 has five digits", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 8001); }, 14, "-9999"},
      {"ap vs 700", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 700); }, 14, "+0700"},
      {"outer marker", [](Memory& m) { Poke(m, offsets::kMarker1, 1); }, 15, "100"},
      {"inner marker", [](Memory& m) { Poke(m, offsets::kMarker3, 1); }, 15, "001"},
      {"wind from just below a turn", [](Memory& m) { Poke(m, offsets::kWindDirection, 65535); }, 16, "360"},
      {"wind speed 99 kept", [](Memory& m) { Poke(m, offsets::kWindSpeed, 99); }, 17, "99"},
      {"wind speed 100 held", [](Memory& m) { Poke(m, offsets::kWindSpeed, 100); }, 17, "99"},
      {"wind speed padded", [](Memory& m) { Poke(m, offsets::kWindSpeed, 5); }, 17, "05"},
      {"nav1 dashes after", [](Memory& m) { Poke(m, offsets::kNav1Ident, IdentOf("ABC\0\0\0")); }, 18, "ABC--"},
      {"nav2 dashes before", [](Memory& m) { Poke(m, offsets::kNav2Ident, IdentOf("ABC\0\0\0")); }, 19, "--ABC"},
      {"gps dashes after", [](Memory& m) { Poke(m, offsets::kGpsNextId, IdentOf("ABC\0\0\0")); }, 20, "ABC--"},
      {"ident trimmed", [](Memory& m) { Poke(m, offsets::kNav1Ident, IdentOf(" AB \0\0")); }, 18, "AB---"},
      {"ident cut to five", [](Memory& m) { Poke(m, offsets::kNav2Ident, IdentOf("ABCDEF")); }, 19, "ABCDE"},
      {"gps one nautical mile", [](Memory& m) { Poke(m, offsets::kGpsDistance, 1852.0); }, 21, "00100"},
      {"gps far", [](Memory& m) { Poke(m, offsets::kGpsDistance, 1000000.0); }, 21, "53996"},
      {"gps too far held", [](Memory& m) { Poke(m, offsets::kGpsDistance, 2000000.0); }, 21, "99999"},
      {"gps course pi", [](Memory& m) { Poke(m, offsets::kGpsCourse, std::numbers::pi); }, 22, "180"},
      {"gps course small", [](Memory& m) { Poke(m, offsets::kGpsCourse, 0.1); }, 22, "006"},
      {"cross-track one mile right", [](Memory& m) { Poke(m, offsets::kGpsCrossTrack, 1852.0); }, 23, "025"},
      {"cross-track one mile left", [](Memory& m) { Poke(m, offsets::kGpsCrossTrack, -1852.0); }, 23, "231"},
      {"cross-track end of scale", [](Memory& m) { Poke(m, offsets::kGpsCrossTrack, 9260.0); }, 23, "127"},
      {"cross-track other end", [](Memory& m) { Poke(m, offsets::kGpsCrossTrack, -9260.0); }, 23, "129"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;
    c.poke(link.peer.Memory());
    const std::vector<std::string> fields = FieldsOf(HsiReply(link.state));
    ASSERT_EQ(fields.size(), 23u);
    EXPECT_EQ(fields[c.field - 1], c.text);
  }
}

TEST(HsiReply, ARealThatIsNotFiniteOrTooLargeSendsNothing) {
  const struct {
    const char* name;
    Offset<double> offset;
    double value;
  } cases[] = {
      {"heading NaN", offsets::kHeading, std::nan("")},
      {"heading beyond 64 bits", offsets::kHeading, 1e300},
      {"gps distance infinite", offsets::kGpsDistance, kInf},
      {"gps course NaN", offsets::kGpsCourse, std::nan("")},
      {"cross-track NaN", offsets::kGpsCrossTrack, std::nan("")},
      {"cross-track infinite", offsets::kGpsCrossTrack, -kInf},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;
    Poke(link.peer.Memory(), c.offset, c.value);
    EXPECT_EQ(RequestErrorOf(HsiReply, link.state), kFpInvalid);
  }
}

TEST(HsiReply, DebugBlockCarriesTheReplyTexts) {
  SimLink link;
  Memory& m = link.peer.Memory();
  Poke(m, offsets::kHeading, 271.6); Poke(m, offsets::kApMaster, 1);
  Poke(m, offsets::kApVerticalSpeed, 64836); Poke(m, offsets::kMarker2, 1);
  Poke(m, offsets::kWindDirection, 49152); Poke(m, offsets::kWindSpeed, 12);
  Poke(m, offsets::kNav2Ident, IdentOf("TLD\0\0\0")); Poke(m, offsets::kGpsCrossTrack, -1852.0);

  LogCapture log(link.state);
  {
    HsiReply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  link.state.DebugEnabled = true;
  EXPECT_EQ(HsiReply(link.state),
            "27160:00000:000:00000:00000:000:000:000:000:0:0:1000000:00000:-0700:010:270:12:-----:"
            "--TLD:-----:00000:000:231:\r\n");
  const std::vector<std::string> expected = {
      "- Hsi Panel:----------------------",
      "- Derr:27160", "- Adf:00000", "- Vor2:000", "- Dme1:00000", "- Dme2:00000", "- Hdg:000",
      "- Crs:000", "- sGsv:000", "- sGsh:000", "- Tof:0", "- Ils:0", "- Ap:1000000",
      "- ApAlt:00000", "- ApVsp:-0700", "- Marker:010", "- Vientos:270/12", "- Nav1 Id:-----",
      "- Nav2 Id:--TLD", "- Gps Id:-----", "- Gps Dme:00000", "- Gps Crs:000", "- Gps Gsv:231",
  };
  EXPECT_EQ(log.lines, expected);
}

// Whatever a flying aircraft shows, every field keeps the width the panel cuts it at.
TEST(HsiReply, RandomPanelsKeepEveryFieldWidth) {
  SimLink link;
  std::mt19937 rng(20240611);
  for (int i = 0; i < 300; ++i) {
    SCOPED_TRACE(i);
    PokeFlyingPanel(link.peer.Memory(), rng);
    ExpectWidths(HsiReply(link.state), "HSI", {10, 11});
  }
}

}  // namespace
}  // namespace tavelor
