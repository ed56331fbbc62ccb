#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "replies/c177_reply.h"
#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "support/sim_link.h"
#include "support/single_engine_values.h"
#include "text/real_math.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

using testing::Between;
using testing::FieldsOf;
using testing::LoadCruisingAircraft;
using testing::LogCapture;
using testing::MemoryChange;
using testing::Poke;
using testing::Set;
using testing::SimLink;
namespace o = offsets;

// Positions on the line.
enum Field {
  kMaster, kElectr, kMagnet, kAvioni, kTrim, kObs1, kToFr1, kIls, kLoc1, kGs1, kAdf, kAHdg,
  kAlt, kQnh, kVsp, kGdr, kDer, kHdg, kPich, kBank, kBola, kBast, kIas, kFlaps, kRpm, kFlw,
  kMan, kTime, kVac, kEgt, kFuelPrs, kCht, kFuelLeft, kFuelRight, kOilT, kOilP, kAmp, kFieldCount
};

// The same aircraft as the C172 tests fly: its outside air, volts, UTC and NAV2 are set but
// not on this panel.
const char kCruiseLine[] =
    "11:01001010:3:1:01200:090:1:0:127:000:045:000:04500:1013:00689:000:272:270:-003:0010:000:"
    "00000:110:04096:2350:010:25088:140530:50:700:0720:350:075:050:080:060:-02:\r\n";

TEST(C177Reply, CruiseValuesEachInTheirPlace) {
  SimLink link;
  LoadCruisingAircraft(link.peer.Memory());
  EXPECT_EQ(C177Reply(link.state), kCruiseLine);
  EXPECT_EQ(link.ExchangesSinceOpen(), 1u);
  const std::vector<sim::JournalEntry> journal = link.TakeJournal();
  EXPECT_EQ(journal.size(), 42u);
  for (const sim::JournalEntry& entry : journal) EXPECT_FALSE(entry.write) << entry.offset;
}

TEST(C177Reply, FieldsAtTheirEdges) {
  const struct {
    const char* name;
    std::vector<MemoryChange> set;
    Field field;
    const char* text;
  } cases[] = {
      {"trim 16383", {Set(o::kElevatorTrim, 16383)}, kTrim, "16383"},
      {"trim -16383 as its bit pattern", {Set(o::kElevatorTrim, 49153)}, kTrim, "49153"},
      {"trim -1", {Set(o::kElevatorTrim, 65535)}, kTrim, "65535"},
      {"trim 1200", {Set(o::kElevatorTrim, 1200)}, kTrim, "01200"},
      {"manifold 30 inches unconverted", {Set(o::kManifoldPressure, 30720)}, kMan, "30720"},
      {"manifold small", {Set(o::kManifoldPressure, 24)}, kMan, "00024"},
      {"time 9:05:07", {Set(o::kLocalHour, 9), Set(o::kLocalMinute, 5), Set(o::kLocalSecond, 7)}, kTime, "090507"},
      {"time end of day", {Set(o::kLocalHour, 23), Set(o::kLocalMinute, 59), Set(o::kLocalSecond, 59)}, kTime, "235959"},
      {"fuel pressure 5", {Set(o::kFuelPressure, 5)}, kFuelPrs, "0005"},
      {"fuel pressure -5", {Set(o::kFuelPressure, -5)}, kFuelPrs, "00-5"},
      {"fuel pressure wide", {Set(o::kFuelPressure, 123456)}, kFuelPrs, "123456"},
      {"cht 349.5 up to even", {Set(o::kCylinderHeadTemp, 349.5)}, kCht, "350"},
      {"cht 350.5 down to even", {Set(o::kCylinderHeadTemp, 350.5)}, kCht, "350"},
      {"cht 0.4", {Set(o::kCylinderHeadTemp, 0.4)}, kCht, "000"},
      {"cht below zero", {Set(o::kCylinderHeadTemp, -12.0)}, kCht, "-12"},
      // The shared gauges keep their limits on this panel too (every shared rule is tested at
      // its edges through C172; the cruise line shows each field in its place here).
      {"pitch 40 held", {Set(o::kPitch, 477218588)}, kPich, "0035"},
      {"bank -45", {Set(o::kBank, -536870912)}, kBank, "-045"},
      {"vsp held up", {Set(o::kVerticalSpeed, 10000)}, kVsp, "02100"},
      {"vsp held down", {Set(o::kVerticalSpeed, -10000)}, kVsp, "-2100"},
      {"rpm held at 3500", {Set(o::kEngineRpm, 3600.0)}, kRpm, "3500"},
      {"rpm below zero", {Set(o::kEngineRpm, -5.0)}, kRpm, "0000"},
      {"ias 501 held", {Set(o::kIndicatedAirspeed, 64128)}, kIas, "500"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;  // fresh, all-zero memory
    for (const MemoryChange& set : c.set) set(link.peer.Memory());
    const std::vector<std::string> fields = FieldsOf(C177Reply(link.state));
    ASSERT_EQ(fields.size(), size_t{kFieldCount});
    EXPECT_EQ(fields[c.field], c.text);
  }
}

TEST(C177Reply, ARealThatCannotBeRoundedSendsNothing) {
  const struct {
    const char* name;
    Offset<double> offset;
    double value;
  } cases[] = {
      {"cht NaN", o::kCylinderHeadTemp, std::nan("")},
      {"cht infinite", o::kCylinderHeadTemp, std::numeric_limits<double>::infinity()},
      {"cht beyond 64 bits", o::kCylinderHeadTemp, -1e300},
      {"vac NaN", o::kSuction, std::nan("")},
      {"amp infinite", o::kAmmeter, std::numeric_limits<double>::infinity()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;
    Poke(link.peer.Memory(), c.offset, c.value);
    LogCapture log(link.state);
    link.state.DebugEnabled = true;
    try {
      C177Reply(link.state);
      ADD_FAILURE() << "no error";
    } catch (const RequestError& e) {
      EXPECT_STREQ(e.what(), kFpInvalid);
    }
    EXPECT_TRUE(log.lines.empty());
  }
}

TEST(C177Reply, DebugBlockShowsTheLinesTexts) {
  SimLink link;
  LoadCruisingAircraft(link.peer.Memory());
  Poke(link.peer.Memory(), o::kLocalHour, 9);
  Poke(link.peer.Memory(), o::kLocalSecond, 7);
  {
    LogCapture log(link.state);
    C177Reply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  LogCapture log(link.state);
  link.state.DebugEnabled = true;
  EXPECT_EQ(FieldsOf(C177Reply(link.state))[kTime], "090507");
  const std::vector<std::string> expected = {
      "- Datos Panel C177:-----------------",
      "- Master:11", "- Electr:01001010", "- Magnet:3", "- Avioni:1", "- Trim:01200",
      "- Obs1:090", "- ToFr1:1", "- Ils:0", "- Loc1:127", "- Gs1:000", "- Adf:045",
      "- AHdg:000", "- Alt:04500", "- Qnh:1013", "- Vsp:00689", "- Gdr:000", "- Der:272",
      "- Hdg:270", "- Pich:-003", "- Bank:0010", "- Bola:000", "- Bast:00000", "- Ias:110",
      "- Flaps: 04096", "- Rpm:2350", "- Flw:010", "- Man:25088", "- Time:09:05:07",
      "- Vac:50", "- Egt:700", "- Fuel Prs:0720", "- Cht:350", "- Fuel:075 / 050",
      "- Oil T:080", "- Oil P:060", "- Amp:-02"};
  EXPECT_EQ(log.lines, expected);
}

// Random memory keeps the line's shape; values in range keep every field's width.
TEST(C177Reply, RandomMemoryKeepsTheLinesShape) {
  // Fields whose width holds only for values in range.
  const auto varying = {1, 2, 3, 4, 6, 7, 8, 12, 23, 24, 26, 28, 30, 31, 33, 34};
  std::mt19937 random(177);
  SimLink link;
  sim::OffsetMemory& m = link.peer.Memory();
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    testing::FillRandom(m, random);
    testing::LoadPlausibleReals(m, random);
    testing::ExpectWidths(C177Reply(link.state), "C177", varying);

    testing::LoadSharedInRange(m, random);
    Poke(m, o::kLocalSecond, Between<uint8_t>(random, 0, 59));
    Poke(m, o::kFuelPressure, Between<int32_t>(random, 0, 9999));
    const std::string line = C177Reply(link.state);
    EXPECT_EQ(line.size(), 165u) << line;
    testing::ExpectWidths(line, "C177");
  }
}

}  // namespace
}  // namespace tavelor
