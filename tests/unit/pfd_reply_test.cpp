#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "replies/pfd_reply.h"
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
using testing::WritesOf;
using Memory = sim::OffsetMemory;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr size_t kFields = 49;

TEST(PfdReply, FieldsFromPokedValues) {
  const struct {
    const char* name;
    std::function<void(Memory&)> poke;
    int field;  // 1-based
    std::string text;
  } cases[] = {
      {"ias 250 kt", [](Memory& m) { Poke(m, offsets::kIndicatedAirspeed, 32000); }, 1, "25000"},
      {"ias at the clamp", [](Memory& m) { Poke(m, offsets::kIndicatedAirspeed, 64000); }, 1, "50000"},
      {"ias past the clamp", [](Memory& m) { Poke(m, offsets::kIndicatedAirspeed, 64001); }, 1, "50000"},
      {"ias negative", [](Memory& m) { Poke(m, offsets::kIndicatedAirspeed, -128); }, 1, "0-100"},
      {"ace negative", [](Memory& m) { Poke(m, offsets::kAce, -1.23); }, 2, "-12"},
      {"ace held to 99", [](Memory& m) { Poke(m, offsets::kAce, 15.0); }, 2, "+99"},
      {"ace half to even", [](Memory& m) { Poke(m, offsets::kAce, 0.25); }, 2, "+02"},
      {"ace half to even up", [](Memory& m) { Poke(m, offsets::kAce, -0.75); }, 2, "-08"},
      {"ace just under a half", [](Memory& m) { Poke(m, offsets::kAce, 0.35); }, 2, "+03"},
      {"vsp climb", [](Memory& m) { Poke(m, offsets::kVerticalSpeed, 256); }, 3, "+0197"},
      {"vsp descent", [](Memory& m) { Poke(m, offsets::kVerticalSpeed, -256); }, 3, "-0197"},
      {"vsp below the clamp", [](Memory& m) { Poke(m, offsets::kVerticalSpeed, 5331); }, 3, "+4099"},
      {"vsp past the clamp", [](Memory& m) { Poke(m, offsets::kVerticalSpeed, 5334); }, 3, "+4100"},
      {"vsp far past, down", [](Memory& m) { Poke(m, offsets::kVerticalSpeed, -7680); }, 3, "-4100"},
      {"altitude unsigned", [](Memory& m) { Poke(m, offsets::kAltitudeFeet, 65535); }, 4, "65535"},
      {"altitude padded", [](Memory& m) { Poke(m, offsets::kAltitudeFeet, 7); }, 4, "00007"},
      {"pitch nose down shows minus", [](Memory& m) { Poke(m, offsets::kPitch, 59652324); }, 5, "-0500"},
      {"pitch nose up shows plus", [](Memory& m) { Poke(m, offsets::kPitch, -59652324); }, 5, "+0500"},
      {"pitch held to 45", [](Memory& m) { Poke(m, offsets::kPitch, 596523236); }, 5, "-4500"},
      {"pitch held to 45 up", [](Memory& m) { Poke(m, offsets::kPitch, -596523236); }, 5, "+4500"},
      {"pitch 562.5 to even", [](Memory& m) { Poke(m, offsets::kPitch, 67108864); }, 5, "-0562"},
      {"pitch 1687.5 to even", [](Memory& m) { Poke(m, offsets::kPitch, 201326592); }, 5, "-1688"},
      {"bank right", [](Memory& m) { Poke(m, offsets::kBank, 357913941); }, 6, "+03000"},
      {"bank left", [](Memory& m) { Poke(m, offsets::kBank, -357913941); }, 6, "-03000"},
      {"bank half to even", [](Memory& m) { Poke(m, offsets::kBank, 67108864); }, 6, "+00562"},
      {"bank inverted, not clamped", [](Memory& m) { Poke(m, offsets::kBank, INT32_MIN); }, 6, "-18000"},
      {"radio altitude 100 m", [](Memory& m) { Poke(m, offsets::kRadioAltitude, 6553600u); }, 7, "00328"},
      {"radio altitude unsigned, held", [](Memory& m) { Poke(m, offsets::kRadioAltitude, 0xFFFFFFFFu); }, 7, "99999"},
      {"8th switch on its own", [](Memory& m) { Poke(m, offsets::kApAirspeedHold, 1); }, 8, "0000000"},
      {"mach 0.8", [](Memory& m) { Poke(m, offsets::kMach, 16384); }, 10, "080"},
      {"mach 2.5 to even", [](Memory& m) { Poke(m, offsets::kMach, 512); }, 10, "002"},
      {"mach 7.5 to even", [](Memory& m) { Poke(m, offsets::kMach, 1536); }, 10, "008"},
      {"ground speed 100 m/s", [](Memory& m) { Poke(m, offsets::kGroundSpeed, 6553600); }, 11, "194"},
      {"ground speed held", [](Memory& m) { Poke(m, offsets::kGroundSpeed, INT32_MAX); }, 11, "999"},
      {"qnh", [](Memory& m) { Poke(m, offsets::kAltimeterSetting, 16212); }, 12, "1013"},
      {"qnh half to even down", [](Memory& m) { Poke(m, offsets::kAltimeterSetting, 16200); }, 12, "1012"},
      {"qnh half to even up", [](Memory& m) { Poke(m, offsets::kAltimeterSetting, 16216); }, 12, "1014"},
      {"needle byte unsigned", [](Memory& m) { Poke(m, offsets::kNav1Needle, 0xF6); }, 19, "246"},
      {"nav1 dme at the limit", [](Memory& m) { Poke(m, offsets::kDme1Distance, 3000); }, 25, "3000"},
      {"nav1 dme no lock", [](Memory& m) { Poke(m, offsets::kDme1Distance, 3001); }, 25, "0000"},
      {"dme1 aux half to even down", [](Memory& m) { Poke(m, offsets::kDme1Aux, 1205); }, 27, "0120"},
      {"dme1 aux half to even up", [](Memory& m) { Poke(m, offsets::kDme1Aux, 1215); }, 27, "0122"},
      {"nav2 dme no lock", [](Memory& m) { Poke(m, offsets::kDme2Distance, 65535); }, 29, "0000"},
      {"dme2 aux", [](Memory& m) { Poke(m, offsets::kDme2Aux, 65535); }, 31, "6554"},
      {"ap vs five digits kept", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 8001); }, 32, "-57535"},
      {"ap vs 8000 positive", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 8000); }, 32, "+8000"},
      {"ap vs descent", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 64836); }, 32, "-0700"},
      {"tas half to even", [](Memory& m) { Poke(m, offsets::kTrueAirspeed, 320); }, 34, "002"},
      {"tas held", [](Memory& m) { Poke(m, offsets::kTrueAirspeed, 128000); }, 34, "999"},
      {"oat warm", [](Memory& m) { Poke(m, offsets::kOutsideAirTemp, 3840); }, 35, "+15"},
      {"oat cold", [](Memory& m) { Poke(m, offsets::kOutsideAirTemp, 64256); }, 35, "-05"},
      {"oat 30000 still positive", [](Memory& m) { Poke(m, offsets::kOutsideAirTemp, 30000); }, 35, "+99"},
      {"oat 30001 negative", [](Memory& m) { Poke(m, offsets::kOutsideAirTemp, 30001); }, 35, "-99"},
      {"oat half to even", [](Memory& m) { Poke(m, offsets::kOutsideAirTemp, 640); }, 35, "+02"},
      {"8th switch field", [](Memory& m) { Poke(m, offsets::kApAirspeedHold, 1); }, 36, "1"},
      {"ap mach 0.80", [](Memory& m) { Poke(m, offsets::kApMach, 52429); }, 37, "080"},
      {"ap mach -0.01", [](Memory& m) { Poke(m, offsets::kApMach, -655); }, 37, "0-1"},
      {"ap mach 12.5 to even", [](Memory& m) { Poke(m, offsets::kApMach, 8192); }, 37, "012"},
      {"ap mach 37.5 to even", [](Memory& m) { Poke(m, offsets::kApMach, 24576); }, 37, "038"},
      {"fd switch signed", [](Memory& m) { Poke(m, offsets::kFlightDirector, -3); }, 38, "-3"},
      {"fd value", [](Memory& m) { Poke(m, offsets::kFlightDirectorValue1, 2.5); }, 39, "+0250"},
      {"fd value negative", [](Memory& m) { Poke(m, offsets::kFlightDirectorValue2, -3.14); }, 40, "-0314"},
      {"fd value not clamped", [](Memory& m) { Poke(m, offsets::kFlightDirectorValue2, 100.0); }, 40, "+10000"},
      {"barber pole not clamped", [](Memory& m) { Poke(m, offsets::kBarberPoleSpeed, 153600); }, 41, "1200"},
      {"barber pole 2.5 to even", [](Memory& m) { Poke(m, offsets::kBarberPoleSpeed, 320); }, 41, "002"},
      {"barber pole 1.5 to even", [](Memory& m) { Poke(m, offsets::kBarberPoleSpeed, 192); }, 41, "002"},
      {"ap ias", [](Memory& m) { Poke(m, offsets::kApAirspeed, 250); }, 42, "250"},
      {"ap ias held", [](Memory& m) { Poke(m, offsets::kApAirspeed, 1000); }, 42, "999"},
      {"adf signal 10", [](Memory& m) { Poke(m, offsets::kAdfSignal, 10); }, 43, "0"},
      {"adf signal 11", [](Memory& m) { Poke(m, offsets::kAdfSignal, 11); }, 43, "1"},
      {"adf signal negative", [](Memory& m) { Poke(m, offsets::kAdfSignal, -50); }, 43, "0"},
      {"gps one mile in tenths", [](Memory& m) { Poke(m, offsets::kGpsDistance, 1852.0); }, 46, "0010"},
      {"gps far held", [](Memory& m) { Poke(m, offsets::kGpsDistance, 2000000.0); }, 46, "9999"},
      {"ete", [](Memory& m) { Poke(m, offsets::kGpsTimeToGo, 600); }, 49, "0600"},
      {"ete at the clamp", [](Memory& m) { Poke(m, offsets::kGpsTimeToGo, 5940); }, 49, "5940"},
      {"ete held", [](Memory& m) { Poke(m, offsets::kGpsTimeToGo, 7200); }, 49, "5940"},
      {"ete negative", [](Memory& m) { Poke(m, offsets::kGpsTimeToGo, -5); }, 49, "00-5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;
    c.poke(link.peer.Memory());
    const std::vector<std::string> fields = FieldsOf(PfdReply(link.state));
    ASSERT_EQ(fields.size(), kFields);
    EXPECT_EQ(fields[c.field - 1], c.text);
  }
}

TEST(PfdReply, SpeedModeFieldFollowsSpeedRefMode) {
  SimLink link;
  for (int mode : {1, 0, 2, -1}) {
    link.state.SpeedRefMode = mode;
    link.state.PfdRefreshCount = 0;
    EXPECT_EQ(FieldsOf(PfdReply(link.state))[43], std::to_string(mode));
  }
}

TEST(PfdReply, ARealThatIsNotFiniteSendsNothingAndSkipsTheResend) {
  const struct {
    const char* name;
    Offset<double> offset;
    double value;
  } cases[] = {
      {"ace NaN", offsets::kAce, std::nan("")},
      {"rum infinite", offsets::kHeading, kInf},
      {"fd value 1 NaN", offsets::kFlightDirectorValue1, std::nan("")},
      {"fd value 2 beyond 64 bits", offsets::kFlightDirectorValue2, -1e300},
      {"gps distance NaN", offsets::kGpsDistance, std::nan("")},
      {"gps course infinite", offsets::kGpsCourse, -kInf},
      {"cross-track infinite", offsets::kGpsCrossTrack, kInf},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;
    Poke(link.peer.Memory(), offsets::kApMach, 52429);
    Poke(link.peer.Memory(), c.offset, c.value);
    link.state.PfdRefreshCount = 100;  // this request would re-send
    EXPECT_EQ(RequestErrorOf(PfdReply, link.state), kFpInvalid);
    EXPECT_TRUE(WritesOf(link).empty());
    EXPECT_EQ(link.state.PfdRefreshCount, 100);
  }
}

TEST(PfdReply, DebugBlockCarriesTheReplyTexts) {
  SimLink link;
  Memory& m = link.peer.Memory();
  Poke(m, offsets::kIndicatedAirspeed, 32000); Poke(m, offsets::kAce, -1.23);
  Poke(m, offsets::kVerticalSpeed, 256); Poke(m, offsets::kAltitudeFeet, 1998);
  Poke(m, offsets::kPitch, -59652324); Poke(m, offsets::kBank, 357913941);
  Poke(m, offsets::kRadioAltitude, 6553600u); Poke(m, offsets::kApMaster, 1);
  Poke(m, offsets::kApAirspeedHold, 1); Poke(m, offsets::kApAltitude, 199753728);
  Poke(m, offsets::kMach, 16384); Poke(m, offsets::kGroundSpeed, 6553600);
  Poke(m, offsets::kAltimeterSetting, 16212); Poke(m, offsets::kHeading, 271.6);
  Poke(m, offsets::kAdfBearing, 16384); Poke(m, offsets::kApHeading, 16384);
  Poke(m, offsets::kNav1Course, 270); Poke(m, offsets::kNav1ToFrom, 1);
  Poke(m, offsets::kWindDirection, 49152); Poke(m, offsets::kWindSpeed, 5);
  Poke(m, offsets::kNav1Ident, IdentOf("MAD\0\0\0")); Poke(m, offsets::kDme1Distance, 123);
  Poke(m, offsets::kNav1Radial, 16384); Poke(m, offsets::kDme1Aux, 1205);
  Poke(m, offsets::kNav2Ident, IdentOf("TLD\0\0\0")); Poke(m, offsets::kApVerticalSpeed, 700);
  Poke(m, offsets::kAdfIdent, IdentOf("NDB\0\0\0")); Poke(m, offsets::kTrueAirspeed, 33280);
  Poke(m, offsets::kOutsideAirTemp, 3840); Poke(m, offsets::kApMach, 52429);
  Poke(m, offsets::kFlightDirector, 1); Poke(m, offsets::kFlightDirectorValue1, 2.5);
  Poke(m, offsets::kFlightDirectorValue2, -3.14); Poke(m, offsets::kBarberPoleSpeed, 43520);
  Poke(m, offsets::kApAirspeed, 250); Poke(m, offsets::kAdfSignal, 11);
  Poke(m, offsets::kGpsNextId, IdentOf("GPS1\0\0")); Poke(m, offsets::kGpsDistance, 1852.0);
  Poke(m, offsets::kGpsCourse, std::numbers::pi); Poke(m, offsets::kGpsCrossTrack, 1852.0);
  Poke(m, offsets::kGpsTimeToGo, 600);

  LogCapture log(link.state);
  {
    PfdReply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  link.state.DebugEnabled = true;
  EXPECT_EQ(PfdReply(link.state),
            "25000:-12:+0197:01998:+0500:+03000:00328:1000000:10000:080:194:1013:27160:09000:000:090:"
            "270:1:000:000:0:270:05:MAD--:0123:090:0120:--TLD:0000:000:0000:+0700:NDB--:260:+15:1:"
            "080:1:+0250:-0314:340:250:1:1:GPS1-:0010:180:025:0600:\r\n");
  const std::vector<std::string> expected = {
      "- Pfd Panel:----------------------",
      "- Ias:25000", "- Ace:-12", "- Vsp:+0197", "- sAlt:01998", "- Pich:+0500", "- Bank:+03000",
      "- Ground:00328", "- Ap:10000001", "- Ap Alt:10000", "- Ap Ias:250", "- Ap Mach:080",
      "- sMatch:080", "- GS:194", "- Qnh:1013", "- Rum:27160", "- Adf:09000", "- Vor2:000",
      "- Hdg:090", "- Crs:270", "- Tof:1", "- GsVor:000", "- GsIls:000", "- Ils:0",
      "- Vientos:270/05", "- Nav1:MAD--/0123/090/0120", "- Nav2:--TLD/0000/000/0000",
      "- ApVsp:+0700/1", "- AdfId:NDB--", "- Tas:260", "- Oat:+15", "- FDir:1 / +0250 / -0314",
      "- Barb.P.:340", "- Gps Id:GPS1-", "- Gps Dme:0010", "- Gps Crs:180", "- Gps Gsv:025",
      "- Gps Ete:0600",
  };
  EXPECT_EQ(log.lines, expected);
}

// Whatever a flying aircraft shows, every field keeps the width the panel cuts it at.
TEST(PfdReply, RandomPanelsKeepEveryFieldWidth) {
  SimLink link;
  std::mt19937 rng(20240612);
  for (int i = 0; i < 300; ++i) {
    SCOPED_TRACE(i);
    link.state.PfdRefreshCount = 0;
    PokeFlyingPanel(link.peer.Memory(), rng);
    ExpectWidths(PfdReply(link.state), "PFD", {18, 21, 38});
  }
}

}  // namespace
}  // namespace tavelor
