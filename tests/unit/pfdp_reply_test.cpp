#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "replies/pfdp_reply.h"
#include "server/request.h"
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
constexpr size_t kFields = 45;

TEST(PfdpReply, FieldsFromPokedValues) {
  const struct {
    const char* name;
    std::function<void(Memory&)> poke;
    int field;  // 1-based
    std::string text;
  } cases[] = {
      {"pitch held to 45", [](Memory& m) { Poke(m, offsets::kPitch, 596523236); }, 1, "-4500"},
      {"bank left", [](Memory& m) { Poke(m, offsets::kBank, -357913941); }, 2, "-03000"},
      {"fd value half to even", [](Memory& m) { Poke(m, offsets::kFlightDirectorValue1, 0.125); }, 4, "+0012"},
      {"fd value negative", [](Memory& m) { Poke(m, offsets::kFlightDirectorValue2, -3.14); }, 5, "-0314"},
      {"8th switch joins the ap field", [](Memory& m) { Poke(m, offsets::kApAirspeedHold, 1); }, 6, "00000001"},
      {"nav/gps seventh", [](Memory& m) { Poke(m, offsets::kNavGpsSelector, 1); }, 6, "00000010"},
      {"ias held", [](Memory& m) { Poke(m, offsets::kIndicatedAirspeed, 76800); }, 7, "50000"},
      {"barber pole", [](Memory& m) { Poke(m, offsets::kBarberPoleSpeed, 43520); }, 8, "340"},
      {"radio altitude", [](Memory& m) { Poke(m, offsets::kRadioAltitude, 6553600u); }, 9, "00328"},
      {"ace held", [](Memory& m) { Poke(m, offsets::kAce, -15.0); }, 10, "-99"},
      {"ap ias held", [](Memory& m) { Poke(m, offsets::kApAirspeed, 65535); }, 11, "999"},
      {"tas", [](Memory& m) { Poke(m, offsets::kTrueAirspeed, 33280); }, 12, "260"},
      {"altitude unsigned", [](Memory& m) { Poke(m, offsets::kAltitudeFeet, 65535); }, 13, "65535"},
      {"vertical speed held", [](Memory& m) { Poke(m, offsets::kVerticalSpeed, 7680); }, 14, "+4100"},
      {"ap altitude", [](Memory& m) { Poke(m, offsets::kApAltitude, 199753728); }, 15, "10000"},
      {"ap vs without 9999", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 8001); }, 16, "-57535"},
      {"ap vs -1", [](Memory& m) { Poke(m, offsets::kApVerticalSpeed, 65535); }, 16, "-0001"},
      {"rum", [](Memory& m) { Poke(m, offsets::kHeading, 0.375); }, 17, "00038"},
      {"adf", [](Memory& m) { Poke(m, offsets::kAdfBearing, 65535); }, 18, "35999"},
      {"hdg", [](Memory& m) { Poke(m, offsets::kApHeading, 16384); }, 20, "090"},
      {"glideslope byte unsigned", [](Memory& m) { Poke(m, offsets::kNav1Glideslope, 0xF6); }, 24, "246"},
      {"nav1 dme no lock", [](Memory& m) { Poke(m, offsets::kDme1Distance, 3001); }, 27, "0000"},
      {"dme1 aux", [](Memory& m) { Poke(m, offsets::kDme1Aux, 1205); }, 29, "0120"},
      {"nav2 ident", [](Memory& m) { Poke(m, offsets::kNav2Ident, IdentOf("ABC\0\0\0")); }, 30, "--ABC"},
      {"nav2 dme", [](Memory& m) { Poke(m, offsets::kDme2Distance, 3000); }, 31, "3000"},
      {"adf ident", [](Memory& m) { Poke(m, offsets::kAdfIdent, IdentOf(" AB \0\0")); }, 34, "AB---"},
      {"gps course", [](Memory& m) { Poke(m, offsets::kGpsCourse, std::numbers::pi); }, 38, "180"},
      {"cross-track end of scale", [](Memory& m) { Poke(m, offsets::kGpsCrossTrack, -9260.0); }, 39, "129"},
      {"ete held", [](Memory& m) { Poke(m, offsets::kGpsTimeToGo, 7200); }, 40, "5940"},
      {"ground speed", [](Memory& m) { Poke(m, offsets::kGroundSpeed, 6553600); }, 41, "194"},
      {"wind direction", [](Memory& m) { Poke(m, offsets::kWindDirection, 65535); }, 42, "360"},
      {"wind speed", [](Memory& m) { Poke(m, offsets::kWindSpeed, 120); }, 43, "99"},
      {"oat negative", [](Memory& m) { Poke(m, offsets::kOutsideAirTemp, 30001); }, 44, "-99"},
      {"markers last", [](Memory& m) { Poke(m, offsets::kMarker1, 1); }, 45, "100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;
    c.poke(link.peer.Memory());
    const std::vector<std::string> fields = FieldsOf(PfdpReply(link.state));
    ASSERT_EQ(fields.size(), kFields);
    EXPECT_EQ(fields[c.field - 1], c.text);
  }
}

TEST(PfdpReply, NeverResendsASpeedTarget) {
  SimLink link;
  Poke(link.peer.Memory(), offsets::kApMach, 52429);
  Poke(link.peer.Memory(), offsets::kApAirspeed, 250);
  link.state.PfdRefreshCount = 100;
  for (int request = 0; request < 202; ++request) PfdpReply(link.state);
  for (const sim::JournalEntry& e : link.TakeJournal()) EXPECT_FALSE(e.write);
  EXPECT_EQ(link.ExchangesSinceOpen(), 202u);
  EXPECT_EQ(link.state.PfdRefreshCount, 100);
}

TEST(PfdpReply, ARealThatIsNotFiniteSendsNothing) {
  const struct {
    const char* name;
    Offset<double> offset;
    double value;
  } cases[] = {
      {"ace NaN", offsets::kAce, std::nan("")},
      {"rum infinite", offsets::kHeading, -kInf},
      {"fd value 1 beyond 64 bits", offsets::kFlightDirectorValue1, 1e200},
      {"fd value 2 NaN", offsets::kFlightDirectorValue2, std::nan("")},
      {"gps distance infinite", offsets::kGpsDistance, kInf},
      {"gps course NaN", offsets::kGpsCourse, std::nan("")},
      {"cross-track NaN", offsets::kGpsCrossTrack, std::nan("")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;
    Poke(link.peer.Memory(), c.offset, c.value);
    EXPECT_EQ(RequestErrorOf(PfdpReply, link.state), kFpInvalid);
  }
}

TEST(PfdpReply, DebugBlockCarriesTheReplyTexts) {
  SimLink link;
  Memory& m = link.peer.Memory();
  Poke(m, offsets::kPitch, -59652324); Poke(m, offsets::kFlightDirector, 1);
  Poke(m, offsets::kFlightDirectorValue1, 2.5); Poke(m, offsets::kApMaster, 1);
  Poke(m, offsets::kApAirspeedHold, 1); Poke(m, offsets::kIndicatedAirspeed, 32000);
  Poke(m, offsets::kApAirspeed, 250); Poke(m, offsets::kAltitudeFeet, 1998);
  Poke(m, offsets::kApVerticalSpeed, 64836); Poke(m, offsets::kHeading, 271.6);
  Poke(m, offsets::kNav1Ident, IdentOf("MAD\0\0\0")); Poke(m, offsets::kDme1Distance, 123);
  Poke(m, offsets::kAdfIdent, IdentOf("NDB\0\0\0")); Poke(m, offsets::kAdfSignal, 11);
  Poke(m, offsets::kGpsNextId, IdentOf("GPS1\0\0")); Poke(m, offsets::kGpsDistance, 1852.0);
  Poke(m, offsets::kGpsCrossTrack, 1852.0); Poke(m, offsets::kGpsTimeToGo, 600);
  Poke(m, offsets::kWindDirection, 49152); Poke(m, offsets::kWindSpeed, 5);
  Poke(m, offsets::kOutsideAirTemp, 64256); Poke(m, offsets::kMarker1, 1);

  LogCapture log(link.state);
  {
    PfdpReply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  link.state.DebugEnabled = true;
  EXPECT_EQ(PfdpReply(link.state),
            "+0500:+00000:1:+0250:+0000:10000001:25000:000:00000:+00:250:000:01998:+0000:00000:-0700:"
            "27160:00000:000:000:000:0:000:000:0:MAD--:0123:000:0000:-----:0000:000:0000:NDB--:1:"
            "GPS1-:0010:000:025:0600:000:270:05:-05:100:\r\n");
  const std::vector<std::string> expected = {
      "- PDF Panel:---------------------",
      "- Pich:+0500", "- Bank:+00000", "- FDir:1 / +0250 / +0000", "- Ap:10000001", "- Ias:25000",
      "- Barb.P.:000", "- Rad Alt:00000", "- Ace:+00", "- Ap Ias:250", "- Tas:000", "- Alt:01998",
      "- VerSp:+0000", "- Ap Alt:00000", "- Ap Vsp:-0700", "- Rum:27160", "- Adf:00000",
      "- Vor2:000", "- Hdg:000", "- Crs:000", "- Tof:0", "- GsVor:000", "- GsIls:000", "- Ils:0",
      "- Nav1:MAD--/0123/000/0000", "- Nav2:-----/0000/000/0000", "- AdfId:NDB--/1",
      "- Gps:GPS1-/0010/000/025/0600", "- Gsp:000", "- Vientos:270/05", "- Oat:-05", "- Mark:100",
  };
  EXPECT_EQ(log.lines, expected);
}

// Whatever a flying aircraft shows, every field keeps the width the panel cuts it at.
TEST(PfdpReply, RandomPanelsKeepEveryFieldWidth) {
  SimLink link;
  std::mt19937 rng(20240613);
  for (int i = 0; i < 300; ++i) {
    SCOPED_TRACE(i);
    PokeFlyingPanel(link.peer.Memory(), rng);
    ExpectWidths(PfdpReply(link.state), "PFDP", {3, 22, 25});
  }
}

// The three panel codes of this family, as a client sends them: the three-letter ones only
// alone in a five-byte request, PFDP with anything after it.
TEST(PanelCodes, EachRequestReachesItsOwnBuilder) {
  const struct {
    const char* received;
    size_t fields;  // 0: "noversion"
  } cases[] = {
      {"xxHSI", 23},  {"xxHSI\r\n", 0}, {"xxHSI ", 0},  {"xxhsi", 0},
      {"xxPFD", 49},  {"xxPFD\r\n", 0}, {"xxPFDX", 0},
      {"xxPFDP", 45}, {"xxPFDP\r\n", 45}, {"xxPFDP:anything", 45},
  };
  SimLink link;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.received);
    link.state.PfdRefreshCount = 0;
    const std::optional<std::string> reply = ServeRequest(link.state, c.received);
    ASSERT_TRUE(reply.has_value());
    if (c.fields == 0) {
      EXPECT_EQ(*reply, "noversion\r\n");
    } else {
      EXPECT_EQ(FieldsOf(*reply).size(), c.fields);
    }
  }
}

}  // namespace
}  // namespace tavelor
