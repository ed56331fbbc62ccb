// The FlightGear link without FlightGear: the table and a user's map file, the conversions both
// ways, and the source between a link that plays FlightGear and a panel's writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "sim/flightgear/flightgear_source.h"
#include "sim/flightgear/net/flightgear_link.h"
#include "sim/flightgear/property_map.h"
#include "sim/sim_peer.h"
#include "sim/world/parked_aircraft.h"
#include "simlink/offsets.h"

namespace tavelor::sim::flightgear {
namespace {

namespace o = offsets;

TEST(FlightGearMap, AFileIsRefusedAtItsFirstBadRowWithTheLine) {
  const struct {
    const char* text;
    const char* says;  // "" when taken
  } files[] = {
      {"# a comment\n\n/orientation/heading-deg 2B00 double in  # trailing\n", ""},
      {"/a/b 0BE8 whole32:16383 both\n/x\n", "f.map, line 2: a row is PROPERTY OFFSET CONVERSION WAY, four words; this one has 1"},
      {"orientation/heading-deg 2B00 double in", "line 1: 'orientation/heading-deg' is no FlightGear property"},
      {"/a;rm 2B00 double in", "is no FlightGear property"},
      {"/a/b 2B0G double in", "'2B0G' is no offset"},
      {"/a/b 3304 whole32:1 in", "unknown offset 3304: not one of the stand-in's offsets"},  // the link's handshake
      {"/a/b 0560 angle16 in", "offset 0560 holds 8 bytes; conversion 'angle16' writes 2"},
      {"/a/b 2B00 angle17 in", "unknown conversion 'angle17'; the conversions are latitude, longitude, double"},
      {"/a/b 0D0C bit in", "conversion 'bit' needs a whole number after a colon"},
      {"/a/b 0D0C bit:16 in", "conversion 'bit' takes a bit from 0 to 15"},
      {"/a/b 0E90 unsigned16:0 in", "takes a factor other than 0"},
      {"/a/b 2B00 double:2 in", "conversion 'double' takes nothing after it"},
      {"/a/b 2B00 double sideways", "'sideways' is no way"},
      {"/a/b 0560 latitude both", "conversion 'latitude' goes one way only: in"},
  };
  for (const auto& file : files) {
    std::vector<MapRow> rows;
    const std::string problem = ReadMapRows(file.text, "f.map", &rows);
    if (*file.says) {
      EXPECT_NE(problem.find(file.says), std::string::npos) << problem;
    } else {
      EXPECT_EQ(problem, "");
    }
  }
}

TEST(FlightGearMap, TheBuiltInTableReadsAndAUserRowTakesItsOffset) {
  PropertyMap builtIn;
  ASSERT_EQ(BuildPropertyMap("", &builtIn), "");
  EXPECT_GE(builtIn.rows.size(), 200u);
  const std::string path = ::testing::TempDir() + "/c182.map";
  std::ofstream(path) << "/instrumentation/comm/frequencies/selected-mhz 05C4 com_hertz in\n"
                         "/engines/engine[1]/rpm 2400 double in\n";
  PropertyMap user;
  ASSERT_EQ(BuildPropertyMap(path, &user), "");
  EXPECT_EQ(user.rows.size(), builtIn.rows.size());  // two rows in place of two
  EXPECT_EQ(user.rows.back().property, "/engines/engine[1]/rpm");
  EXPECT_EQ(user.rows.back().where, path + ", line 2");
  for (const MapRow& row : user.rows) EXPECT_FALSE(row.offset == 0x05C4 && row.Out()) << row.where;
  EXPECT_NE(BuildPropertyMap("/no/such.map", &user).find("cannot be read"), std::string::npos);
  EXPECT_NE(BuildPropertyMap(::testing::TempDir(), &user).find("cannot be read"), std::string::npos);  // a folder
  std::ofstream(path, std::ios::trunc).flush();  // an empty file adds nothing
  ASSERT_EQ(BuildPropertyMap(path, &user), "");
  EXPECT_EQ(user.rows.size(), builtIn.rows.size());
}

// What a row writes, read back as the offset holds it; and what goes out again.
TEST(FlightGearMap, ConversionsSpeakTheSimulatorsEncodingsBothWays) {
  const auto conversion = [](const char* name) {
    for (const Conversion& c : Conversions()) {
      if (std::string(c.name) == name) return &c;
    }
    return static_cast<const Conversion*>(nullptr);
  };
  const struct {
    const char* conversion;
    int argument;
    double in;
    uint32_t offset;
    uint64_t bytes;  // little-endian, the conversion's size
    double out;      // what goes back to FlightGear (NaN: one way only)
  } cases[] = {
      {"com_hertz", 0, 118.275, 0x05C4, 118275000, 118.275},
      {"nav_bcd", 0, 110.9, 0x0350, 0x1090, 110.9},
      {"squawk", 0, 7000, 0x0354, 0x7000, 7000},
      {"adf_main", 0, 1024.5, 0x034C, 0x0024, NAN},  // its way out reads 0356 too
      {"adf_extended", 0, 1024.5, 0x0356, 0x0105, NAN},
      {"angle16", 0, 90, 0x07CC, 16384, 90},
      {"angle16", 0, -90, 0x07CC, 49152, 270},
      {"bit", 2, 1, 0x0D0C, 0x0004, 1},
      {"bit", 5, 0.6, 0x0D0C, 0x0020, 1},  // a brightness above 0 is on
      {"whole32", 16383, 1, 0x0BDC, 16383, 1},
      {"handle", 3, 0.6667, 0x0BFC, 2, 2.0 / 3},
      {"signed16", 1, -500, 0x07F2, 0xFE0C, -500},
      {"signed8", -119, 0.5, 0x0C49, 0xC4, NAN},  // the glideslope needle: up is below centre
      {"switch32", 0, 1, 0x07C8, 1, 1},
      {"altitude_metres65536", 0, 4500, 0x07D4, 89889175, 4500},
      {"hpa16", 0, 1013.25, 0x0330, 16212, 1013.25},
      {"day_minute", 0, 77125, 0x0239, 25, NAN},
      {"fps_fpm16", 0, -10, 0xF094, 0xFDA8, NAN},
      {"knots128", 0, NAN, 0x02BC, 0, 0},                  // a NaN is no number: 0
      {"knots128", 0, 1e300, 0x02BC, 640000, 5000},         // held in the offset's range
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.conversion) + " " + std::to_string(c.in));
    const Conversion* k = conversion(c.conversion);
    ASSERT_NE(k, nullptr);
    OffsetMemory memory;
    uint8_t bytes[16] = {};
    k->in({false, c.in, ""}, bytes, c.argument);
    memory.Write(c.offset, k->size, bytes);
    uint64_t held = 0;
    memory.Read(c.offset, k->size, reinterpret_cast<uint8_t*>(&held));
    EXPECT_EQ(held, c.bytes);
    if (!std::isnan(c.out)) {
      EXPECT_NEAR(*k->out(memory, c.offset, c.argument), c.out, 1e-3);
    }
  }
  OffsetMemory memory;
  memory.Put(o::kAdfFrequency, uint16_t{0x0024});
  memory.Put(o::kAdfExtended, uint16_t{0x0105});
  EXPECT_NEAR(*conversion("adf_main")->out(memory, o::kAdfFrequency.address, 0), 1024.5, 1e-9);
  EXPECT_EQ(o::Ident({'S', 'F', 'O', 0, 0, 0}), [&] {  // a text is cut to its field
    uint8_t field[6];
    conversion("ident")->in({true, 0, "SFO"}, field, 0);
    o::Ident ident;
    std::memcpy(ident.data(), field, 6);
    return ident;
  }());
}

// FlightGear played by a link that hands in values and notes every set.
class FakeLink : public PropertyLink {
 public:
  void Start(LinkListener& listener) override { listener_ = &listener; }
  void Set(size_t property, double value) override { sets.emplace_back(property, value); }
  std::string Address() const override { return "fgpc:5400"; }
  LinkListener* listener_ = nullptr;
  std::vector<std::pair<size_t, double>> sets;
};

size_t PropertyIndex(const PropertyMap& map, const std::string& path) {
  for (size_t i = 0; i < map.properties.size(); ++i) {
    if (map.properties[i] == path) return i;
  }
  return map.properties.size();
}

TEST(FlightGearSource, ValuesComeInWritesGoOutAndFlightGearHasTheLastWord) {
  PropertyMap map;
  ASSERT_EQ(BuildPropertyMap("", &map), "");
  const size_t com1 = PropertyIndex(map, "/instrumentation/comm/frequencies/selected-mhz");
  const size_t beacon = PropertyIndex(map, "/controls/lighting/beacon");
  OffsetMemory memory;
  LoadParkedAircraft(memory);
  const OffsetMemory parked = memory;
  auto link = std::make_unique<FakeLink>();
  FakeLink& fg = *link;
  std::vector<std::string> said;
  FlightGearSource source(map, std::move(link), memory, [&said](const std::string& line) { said.push_back(line); },
                          false);
  fg.listener_->Connected();
  fg.listener_->Value(com1, {false, 121.9, ""});
  fg.listener_->Value(beacon, {false, 1, ""});
  fg.listener_->Value(map.properties.size() + 1, {true, 0, "c182s"});  // the aircraft
  fg.listener_->Missing({PropertyIndex(map, "/ai/models/aircraft[14]/id"), PropertyIndex(map, "/ai/models/aircraft[13]/id")});
  source.Refresh(memory);
  EXPECT_EQ(memory.Get(o::kCom1ActiveHz), 121900000);
  EXPECT_EQ(memory.Get(o::kCom1Active), 0x2190);  // its BCD form follows
  EXPECT_EQ(memory.Get(o::kLights) & 2, 2);
  ASSERT_EQ(said.size(), 2u);
  EXPECT_NE(said[0].find("no value for 2 properties of the table"), std::string::npos) << said[0];
  EXPECT_NE(said[1].find("the built-in table is written for the c172p"), std::string::npos) << said[1];

  // A panel tunes COM1 through its BCD form; FlightGear is told in MHz, once.
  memory.Put(o::kCom1Active, uint16_t{0x1850});
  source.Written(memory, o::kCom1Active.address, 2);
  source.Written(memory, o::kCom1Active.address, 2);
  ASSERT_EQ(fg.sets.size(), 1u);
  EXPECT_EQ(fg.sets[0].first, com1);
  EXPECT_NEAR(fg.sets[0].second, 118.5, 1e-9);
  // FlightGear takes 118.5 but keeps the beacon on whatever the panel says.
  memory.Put(o::kLights, uint16_t(memory.Get(o::kLights) & ~2));
  source.Written(memory, o::kLights.address, 2);
  fg.listener_->Value(beacon, {false, 1, ""});
  source.Refresh(memory);
  EXPECT_EQ(memory.Get(o::kLights) & 2, 2);
  EXPECT_EQ(fg.sets.size(), 2u);

  // Gone: the last values stay, then the parked aircraft stands in; its values come back.
  fg.listener_->Lost();
  source.Advance(memory, kParkedAfter - 1);
  EXPECT_EQ(memory.Get(o::kCom1Active), 0x1850);
  source.Advance(memory, 2);
  EXPECT_EQ(memory.Get(o::kCom1ActiveHz), parked.Get(o::kCom1ActiveHz));
  EXPECT_NE(said.back().find("no FlightGear for 30 s"), std::string::npos);
  EXPECT_EQ(source.StatusLine().rfind("parked fgpc:5400 c182s", 0), 0u) << source.StatusLine();
}

// Whatever FlightGear sends, nothing outside the table's offsets moves (a COM radio's BCD twin
// is the memory's own rule), and every value stays within its offset's bytes.
TEST(FlightGearSource, NoValueWritesOutsideTheTable) {
  PropertyMap map;
  ASSERT_EQ(BuildPropertyMap("", &map), "");
  OffsetMemory memory;
  auto link = std::make_unique<FakeLink>();
  FakeLink& fg = *link;
  FlightGearSource source(map, std::move(link), memory, [](const std::string&) {}, false);
  std::vector<bool> named(OffsetMemory::kSize);
  for (const MapRow& row : map.rows) {
    for (uint32_t i = 0; i < row.conversion->size; ++i) named[row.offset + i] = true;
  }
  for (const auto& twin : {o::kCom1Active, o::kCom1Standby, o::kCom2Active, o::kCom2Standby}) named[twin.address] = named[twin.address + 1] = true;
  const double hostile[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(), 1e308, -1e308, 0, -1, 123456789.123};
  fg.listener_->Connected();
  for (const double value : hostile) {
    for (size_t p = 0; p < map.properties.size(); ++p) fg.listener_->Value(p, {false, value, ""});
    fg.listener_->Value(map.properties.size() + 7, {false, value, ""});  // no such property
    source.Refresh(memory);
  }
  for (size_t p = 0; p < map.properties.size(); ++p) fg.listener_->Value(p, {true, 0, std::string(1000, 'X')});
  source.Refresh(memory);
  uint8_t byte;
  for (uint32_t offset = 0; offset < OffsetMemory::kSize; ++offset) {
    memory.Read(offset, 1, &byte);
    if (!named[offset]) {
      ASSERT_EQ(byte, 0) << std::hex << offset;
    }
  }
}

// The control channel's set and poke reach FlightGear as a panel's writes do, so that what the
// panels see and FlightGear have stay one.
TEST(FlightGearSource, TheControlChannelsWritesReachFlightGear) {
  PropertyMap map;
  ASSERT_EQ(BuildPropertyMap("", &map), "");
  SimPeer peer;
  auto link = std::make_unique<FakeLink>();
  FakeLink& fg = *link;
  peer.StartFlightGear(std::make_unique<FlightGearSource>(map, std::move(link), OffsetMemory{},
                                                          [](const std::string&) {}, false));
  fg.listener_->Connected();
  bool quit = false;
  ASSERT_EQ(peer.Control("set com1 119.70", &quit), "OK");
  ASSERT_EQ(peer.Control("poke 0D0C 0200", &quit), "OK");  // the beacon's bit
  const std::vector<std::pair<size_t, double>> expected = {
      {PropertyIndex(map, "/instrumentation/comm/frequencies/selected-mhz"), 119.7},
      {PropertyIndex(map, "/controls/lighting/beacon"), 1}};
  for (const auto& [property, value] : expected) {
    EXPECT_TRUE(std::any_of(fg.sets.begin(), fg.sets.end(), [&](const auto& set) {
      return set.first == property && std::abs(set.second - value) < 1e-9;
    })) << map.properties[property];
  }
}

TEST(FlightGearLink, MessagesAreReadWithinBounds) {
  const struct {
    const char* message;
    bool read;
    const char* path;
    bool hasValue;
    double number;
  } cases[] = {
      {R"({"path":"/a/b","value":118.3,"type":"double"})", true, "/a/b", true, 118.3},
      {R"({"path":"/a/b","value":true})", true, "/a/b", true, 1},
      {R"({"path":"/a/b","type":"-"})", true, "/a/b", false, 0},  // a node without a value
      {R"({"path":"/a/b","value":[1,2]})", true, "/a/b", false, 0},
      {R"({"path":5,"value":1})", false, "", false, 0},
      {R"(not json)", false, "", false, 0},
      {R"([{"path":"/a"}])", false, "", false, 0},
  };
  for (const auto& c : cases) {
    std::string path;
    std::optional<PropertyValue> value;
    EXPECT_EQ(ReadPropertyMessage(c.message, &path, &value), c.read) << c.message;
    if (!c.read) continue;
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(value.has_value(), c.hasValue) << c.message;
    if (value) {
      EXPECT_EQ(value->number, c.number);
    }
  }
  std::string path;
  std::optional<PropertyValue> value;
  ASSERT_TRUE(ReadPropertyMessage(R"({"path":"/c","value":")" + std::string(5000, 'x') + R"("})", &path, &value));
  EXPECT_EQ(value->string.size(), kLongestText);
  EXPECT_EQ(CanonicalPath("/ai/models/aircraft[0]/id"), "/ai/models/aircraft/id");
  EXPECT_EQ(CanonicalPath("/instrumentation/nav[1]/nav-id"), "/instrumentation/nav[1]/nav-id");
}

}  // namespace
}  // namespace tavelor::sim::flightgear
