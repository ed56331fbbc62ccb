#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "replies/c172_reply.h"
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
using testing::LogCapture;
using testing::MemoryChange;
using testing::Poke;
using testing::Set;
using testing::SimLink;
namespace o = offsets;

// Positions on the line.
enum Field {
  kMaster, kElectr, kMagnet, kAvioni, kFlaps, kOat, kVol, kLocalTime, kUtcTime, kFuelLeft,
  kFuelRight, kEgt, kFlw, kOilT, kOilP, kVac, kAmp, kIas, kAlt, kQnh, kVsp, kRpm, kGdr, kDer,
  kHdg, kObs1, kToFr1, kIls, kLoc1, kGs1, kObs2, kToFr2, kLoc2, kAdf, kAHdg, kBola, kBast,
  kPich, kBank, kFieldCount
};

constexpr double kInf = std::numeric_limits<double>::infinity();

const char kCruiseLine[] =
    "11:01001010:3:1:04096:015:280:1405:1205:075:050:700:010:080:060:50:-02:110:04500:1013:"
    "00689:2350:000:272:270:090:1:0:127:000:180:2:000:045:000:000:00000:-003:0010:\r\n";

TEST(C172Reply, CruiseValuesEachInTheirPlace) {
  SimLink link;
  testing::LoadCruisingAircraft(link.peer.Memory());
  EXPECT_EQ(C172Reply(link.state), kCruiseLine);
  EXPECT_EQ(link.ExchangesSinceOpen(), 1u);
  const std::vector<sim::JournalEntry> journal = link.TakeJournal();
  EXPECT_EQ(journal.size(), 44u);
  for (const sim::JournalEntry& entry : journal) EXPECT_FALSE(entry.write) << entry.offset;
}

TEST(C172Reply, FieldsAtTheirEdges) {
  const struct {
    const char* name;
    std::vector<MemoryChange> set;
    Field field;
    const char* text;
  } cases[] = {
      {"oat 15 C", {Set(o::kOutsideAirTemp, 3840)}, kOat, "015"},
      {"oat half to even", {Set(o::kOutsideAirTemp, 128)}, kOat, "000"},
      {"oat 1.5 to even", {Set(o::kOutsideAirTemp, 384)}, kOat, "002"},
      {"oat 30000 still above zero", {Set(o::kOutsideAirTemp, 30000)}, kOat, "099"},
      {"oat 30001 below zero", {Set(o::kOutsideAirTemp, 30001)}, kOat, "-99"},
      {"oat -5 C", {Set(o::kOutsideAirTemp, 64256)}, kOat, "-05"},
      {"oat just below zero", {Set(o::kOutsideAirTemp, 65535)}, kOat, "-00"},
      {"vol 27.96", {Set(o::kBusVoltage, 27.96)}, kVol, "280"},
      {"vol 242.5 to even", {Set(o::kBusVoltage, 24.25)}, kVol, "242"},
      {"vol 247.5 to even", {Set(o::kBusVoltage, 24.75)}, kVol, "248"},
      // 0.15 is stored just below 0.15: in extended precision x 10 stays below 1.5.
      {"vol rounds in extended precision", {Set(o::kBusVoltage, 0.15)}, kVol, "001"},
      {"vol below zero", {Set(o::kBusVoltage, -5.0)}, kVol, "-50"},
      {"vac 4.96", {Set(o::kSuction, 4.96)}, kVac, "50"},
      {"vac 2.5 to even", {Set(o::kSuction, 0.25)}, kVac, "02"},
      {"vac 7.5 to even", {Set(o::kSuction, 0.75)}, kVac, "08"},
      {"vac extended precision", {Set(o::kSuction, 0.15)}, kVac, "01"},
      {"amp -0.4", {Set(o::kAmmeter, -0.4)}, kAmp, "-00"},
      {"amp 0.4", {Set(o::kAmmeter, 0.4)}, kAmp, "000"},
      {"amp minus zero", {Set(o::kAmmeter, -0.0)}, kAmp, "000"},
      {"amp 123", {Set(o::kAmmeter, 123.0)}, kAmp, "0123"},
      {"amp -12", {Set(o::kAmmeter, -12.0)}, kAmp, "-12"},
      {"amp -2.5 magnitude to even", {Set(o::kAmmeter, -2.5)}, kAmp, "-02"},
      {"amp 3.5 to even", {Set(o::kAmmeter, 3.5)}, kAmp, "004"},
      {"vsp 3.5 m/s", {Set(o::kVerticalSpeed, 896)}, kVsp, "00689"},
      {"vsp down", {Set(o::kVerticalSpeed, -896)}, kVsp, "-0689"},
      {"vsp held up", {Set(o::kVerticalSpeed, 10000)}, kVsp, "02100"},
      {"vsp held down", {Set(o::kVerticalSpeed, -10000)}, kVsp, "-2100"},
      {"vsp most negative", {Set(o::kVerticalSpeed, std::numeric_limits<int32_t>::min())}, kVsp, "-2100"},
      {"rpm held at 3500", {Set(o::kEngineRpm, 3600.0)}, kRpm, "3500"},
      {"rpm below zero", {Set(o::kEngineRpm, -5.0)}, kRpm, "0000"},
      {"rpm half to even", {Set(o::kEngineRpm, 2350.5)}, kRpm, "2350"},
      {"rpm 1.5 to even", {Set(o::kEngineRpm, 2351.5)}, kRpm, "2352"},
      {"rpm low 32 bits", {Set(o::kEngineRpm, 4294967296.0 + 2350)}, kRpm, "2350"},
      {"rpm wraps negative", {Set(o::kEngineRpm, 2147483648.0 + 100)}, kRpm, "0000"},
      {"ias 501 held", {Set(o::kIndicatedAirspeed, 64128)}, kIas, "500"},
      {"ias 499.5 to even", {Set(o::kIndicatedAirspeed, 63936)}, kIas, "500"},
      {"ias 2.5 to even", {Set(o::kIndicatedAirspeed, 320)}, kIas, "002"},
      {"ias 110", {Set(o::kIndicatedAirspeed, 14080)}, kIas, "110"},
      {"ias tiny negative", {Set(o::kIndicatedAirspeed, -1)}, kIas, "000"},
      {"ias negative padded", {Set(o::kIndicatedAirspeed, -128)}, kIas, "0-1"},
      {"pitch -3", {Set(o::kPitch, -35791394)}, kPich, "-003"},
      {"pitch 40 held", {Set(o::kPitch, 477218588)}, kPich, "0035"},
      {"pitch -40 held", {Set(o::kPitch, -477218588)}, kPich, "-035"},
      {"pitch 22.5 to even", {Set(o::kPitch, 268435456)}, kPich, "0022"},
      {"pitch 10.75 up", {Set(o::kPitch, 128252496)}, kPich, "0011"},
      {"bank 22.5 to even", {Set(o::kBank, 268435456)}, kBank, "0022"},
      {"bank 67.5 to even", {Set(o::kBank, 805306368)}, kBank, "0068"},
      {"bank -45", {Set(o::kBank, -536870912)}, kBank, "-045"},
      {"bank 180", {Set(o::kBank, std::numeric_limits<int32_t>::max())}, kBank, "0180"},
      {"bank -180", {Set(o::kBank, std::numeric_limits<int32_t>::min())}, kBank, "-180"},
      {"lights 0x25, pump on", {Set(o::kLights, 0x25), Set(o::kFuelPump, 1)}, kElectr, "11001010"},
      {"lights above bit 5 ignored", {Set(o::kLights, 0xFFC0), Set(o::kPitotHeat, 1)}, kElectr, "00000001"},
      {"switch byte above 9", {Set(o::kBattery, 10), Set(o::kAlternator, 1)}, kMaster, "101"},
      {"local 9:05", {Set(o::kLocalHour, 9), Set(o::kLocalMinute, 5)}, kLocalTime, "0905"},
      {"utc 23:59", {Set(o::kUtcHour, 23), Set(o::kUtcMinute, 59)}, kUtcTime, "2359"},
      {"qnh 1013.25", {Set(o::kAltimeterSetting, 16212)}, kQnh, "1013"},
      {"qnh half to even", {Set(o::kAltimeterSetting, 8)}, kQnh, "0000"},
      {"qnh 1.5 to even", {Set(o::kAltimeterSetting, 24)}, kQnh, "0002"},
      {"fuel full", {Set(o::kLeftTankLevel, 8388608)}, kFuelLeft, "100"},
      {"fuel 12.5 to even", {Set(o::kRightTankLevel, 1048576)}, kFuelRight, "012"},
      {"fuel 37.5 to even", {Set(o::kRightTankLevel, 3145728)}, kFuelRight, "038"},
      {"fuel just over half a percent", {Set(o::kLeftTankLevel, 41944)}, kFuelLeft, "001"},
      {"fuel product wraps in 32 bits", {Set(o::kLeftTankLevel, 21474837)}, kFuelLeft, "-256"},
      {"egt full scale", {Set(o::kExhaustGasTemp, 16384)}, kEgt, "860"},
      {"egt 107.5 to even", {Set(o::kExhaustGasTemp, 2048)}, kEgt, "108"},
      {"egt 322.5 to even", {Set(o::kExhaustGasTemp, 6144)}, kEgt, "322"},
      {"egt word's end", {Set(o::kExhaustGasTemp, 65535)}, kEgt, "3440"},
      {"oil temperature full scale", {Set(o::kOilTemperature, 16384)}, kOilT, "140"},
      {"oil pressure full scale", {Set(o::kOilPressure, 16384)}, kOilP, "055"},
      {"oil temperature 52.5 to even", {Set(o::kOilTemperature, 6144)}, kOilT, "052"},
      {"oil temperature 17.5 to even", {Set(o::kOilTemperature, 2048)}, kOilT, "018"},
      {"oil pressure 82.5 to even", {Set(o::kOilPressure, 24576)}, kOilP, "082"},
      {"oil pressure 27.5 to even", {Set(o::kOilPressure, 8192)}, kOilP, "028"},
      {"flow half to even", {Set(o::kFuelFlow, 64)}, kFlw, "000"},
      {"flow 1.5 to even", {Set(o::kFuelFlow, 192)}, kFlw, "002"},
      {"flow negative padded", {Set(o::kFuelFlow, -128)}, kFlw, "0-1"},
      {"gyro drift 22.5 to even", {Set(o::kGyroDrift, 4096)}, kGdr, "022"},
      {"gyro drift end of word", {Set(o::kGyroDrift, 65535)}, kGdr, "360"},
      {"heading bug 270", {Set(o::kApHeading, 49152)}, kHdg, "270"},
      {"heading bug 22.5 to even", {Set(o::kApHeading, 4096)}, kHdg, "022"},
      {"adf 67.5 to even", {Set(o::kAdfBearing, 12288)}, kAdf, "068"},
      {"der 271.6", {Set(o::kHeading, 271.6)}, kDer, "272"},
      {"der 359.5 to even", {Set(o::kHeading, 359.5)}, kDer, "360"},
      {"der negative padded", {Set(o::kHeading, -1.0)}, kDer, "0-1"},
      {"loc1 needle at -127", {Set(o::kNav1Needle, 0x81)}, kLoc1, "129"},
      {"gs1 needle at -1", {Set(o::kNav1Glideslope, 255)}, kGs1, "255"},
      {"loc2", {Set(o::kNav2Localiser, 7)}, kLoc2, "007"},
      {"ball", {Set(o::kTurnBall, 200)}, kBola, "200"},
      {"turn rate -512", {Set(o::kTurnRate, 65024)}, kBast, "65024"},
      {"obs2", {Set(o::kNav2Obs, 5)}, kObs2, "005"},
      {"adf card", {Set(o::kAdfCard, 360)}, kAHdg, "360"},
      {"ils byte", {Set(o::kNav1Ils, 1)}, kIls, "1"},
      {"to/from 2", {Set(o::kNav2ToFrom, 2)}, kToFr2, "2"},
      {"flap lever full", {Set(o::kFlapLever, 16383)}, kFlaps, "16383"},
      {"flap lever negative", {Set(o::kFlapLever, -1)}, kFlaps, "000-1"},
      {"altitude word's end", {Set(o::kAltitudeFeet, 65535)}, kAlt, "65535"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;  // fresh, all-zero memory
    for (const MemoryChange& set : c.set) set(link.peer.Memory());
    const std::vector<std::string> fields = FieldsOf(C172Reply(link.state));
    ASSERT_EQ(fields.size(), size_t{kFieldCount});
    EXPECT_EQ(fields[c.field], c.text);
  }
}

TEST(C172Reply, ARealThatCannotBeRoundedSendsNothing) {
  const struct {
    const char* name;
    Offset<double> offset;
    double value;
  } cases[] = {
      {"vol NaN", o::kBusVoltage, std::nan("")},
      {"vac infinite", o::kSuction, kInf},
      {"amp NaN", o::kAmmeter, std::nan("")},
      {"amp minus infinity", o::kAmmeter, -kInf},
      {"rpm minus infinity", o::kEngineRpm, -kInf},
      {"rpm beyond 64 bits", o::kEngineRpm, 1e19},
      {"heading NaN", o::kHeading, std::nan("")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimLink link;
    Poke(link.peer.Memory(), c.offset, c.value);
    LogCapture log(link.state);
    link.state.DebugEnabled = true;
    try {
      C172Reply(link.state);
      ADD_FAILURE() << "no error";
    } catch (const RequestError& e) {
      EXPECT_STREQ(e.what(), kFpInvalid);
    }
    EXPECT_TRUE(log.lines.empty());  // no debug block for a reply that is not sent
  }
}

TEST(C172Reply, DebugBlockShowsTheLinesTexts) {
  SimLink link;
  testing::LoadCruisingAircraft(link.peer.Memory());
  {
    LogCapture log(link.state);
    C172Reply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  LogCapture log(link.state);
  link.state.DebugEnabled = true;
  EXPECT_EQ(C172Reply(link.state), kCruiseLine);
  const std::vector<std::string> expected = {
      "- Datos Panel C172:-----------------",
      "- Master:11", "- Electr:01001010", "- Magnet:3", "- Avioni:1", "- Flaps: 04096",
      "- Oat:015", "- Vol:280", "- Time:14:05 - 12:05", "- Fuel:075 / 050", "- Egt:700",
      "- Flw:010", "- Oil T:080", "- Oil P:060", "- Vac:50", "- Amp:-02", "- Ias:110",
      "- Alt:04500", "- Qnh:1013", "- Vsp:00689", "- Rpm:2350", "- Gdr:000", "- Der:272",
      "- Hdg:270", "- Obs1:090", "- ToFr1:1", "- Ils:0", "- Loc1:127", "- Gs1:000",
      "- Obs2:180", "- ToFr2:2", "- Loc2:000", "- Adf:045", "- AHdg:000", "- Bola:000",
      "- Bast:00000", "- Pich:-003", "- Bank:0010"};
  EXPECT_EQ(log.lines, expected);
}

// Random memory keeps the line's shape; values in range keep every field's width.
TEST(C172Reply, RandomMemoryKeepsTheLinesShape) {
  // Fields whose width holds only for values in range.
  const auto varying = {1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 18, 26, 27, 28, 31, 32, 35};
  std::mt19937 random(172);
  SimLink link;
  sim::OffsetMemory& m = link.peer.Memory();
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    testing::FillRandom(m, random);
    testing::LoadPlausibleReals(m, random);
    testing::ExpectWidths(C172Reply(link.state), "C172", varying);

    testing::LoadSharedInRange(m, random);
    Poke(m, o::kUtcHour, Between<uint8_t>(random, 0, 23));
    Poke(m, o::kUtcMinute, Between<uint8_t>(random, 0, 59));
    Poke(m, o::kNav2Obs, Between<uint16_t>(random, 0, 359));
    Poke(m, o::kNav2ToFrom, Between<uint8_t>(random, 0, 2));
    const std::string line = C172Reply(link.state);
    EXPECT_EQ(line.size(), 165u) << line;
    testing::ExpectWidths(line, "C172");
  }
}

}  // namespace
}  // namespace tavelor
