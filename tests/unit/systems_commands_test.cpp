#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "commands/systems_commands.h"
#include "core/request_text.h"
#include "server/request.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

using testing::Bytes;
using testing::SimLink;
using testing::Handler;

struct Write {
  uint32_t offset;
  uint32_t size;
  uint64_t value;
};

struct Case {
  Handler handler;
  std::string request;
  std::vector<Write> writes;  // all in the command's one exchange
};

uint64_t DoubleBits(double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, 8);
  return bits;
}

class SystemsTest : public ::testing::Test {
 protected:
  void Run(const Case& c) {
    SCOPED_TRACE(c.request);
    const uint64_t before = link.peer.Exchanges();
    testing::Call(c.handler, link.state, c.request);
    EXPECT_EQ(link.peer.Exchanges() - before, 1u);
    const std::vector<sim::JournalEntry> got = link.TakeJournal();
    ASSERT_EQ(got.size(), c.writes.size());
    for (size_t i = 0; i < got.size(); ++i) {
      SCOPED_TRACE("record " + std::to_string(i));
      EXPECT_TRUE(got[i].write);
      EXPECT_EQ(got[i].offset, c.writes[i].offset);
      EXPECT_EQ(got[i].size, c.writes[i].size);
      EXPECT_EQ(got[i].exchange, before + 1);
      EXPECT_EQ(got[i].data, Bytes(c.writes[i].value, c.writes[i].size));
    }
  }
  SimLink link;
};

TEST_F(SystemsTest, SwitchesWriteTheDigitAtTheirSize) {
  const Case cases[] = {
      {EbatCommand, "EBAT:1", {{0x3102, 1, 1}}},
      {EaltCommand, "EALT:0", {{0x3101, 1, 0}}},
      {EaviCommand, "EAVI:1", {{0x3103, 1, 1}}},
      {EfueCommand, "EFUE:7", {{0x3104, 1, 7}}},
      {EpitCommand, "EPIT:1", {{0x029C, 1, 1}}},
      {FlapCommand, "FLAP:3", {{0x0BFC, 1, 3}}},
      {MagnCommand, "MAGN:4", {{0x0892, 2, 4}}},
      {EiceCommand, "EICE:1", {{0x08B2, 2, 1}, {0x094A, 2, 1}, {0x09E2, 2, 1}, {0x0A7A, 2, 1}}},
      {EcowCommand, "ECOW:1",
       {{0x37F0, 8, DoubleBits(1.0)}, {0x3730, 8, DoubleBits(1.0)}, {0x3670, 8, DoubleBits(1.0)},
        {0x35B0, 8, DoubleBits(1.0)}}},
      {EcowCommand, "ECOW:0", {{0x37F0, 8, 0}, {0x3730, 8, 0}, {0x3670, 8, 0}, {0x35B0, 8, 0}}},
  };
  for (const Case& c : cases) Run(c);
}

TEST_F(SystemsTest, LightsGearAndKnobsConvertTheirArguments) {
  const Case cases[] = {
      {LighCommand, "LIGH:101010", {{0x0D0C, 2, 0x002A}}},
      {LighCommand, "LIGH:111111", {{0x0D0C, 2, 0x003F}}},
      {LighCommand, "LIGH:x1y1z1", {{0x0D0C, 2, 0x0015}}},  // anything but "1" is clear
      {LighCommand, "LIGH:1001", {{0x0D0C, 2, 0x0009}}},    // short: last character is bit 0
      {LighCommand, "LIGH", {{0x0D0C, 2, 0}}},
      {LandCommand, "LAND:1", {{0x0BE8, 4, 16383}}},
      {LandCommand, "LAND:0", {{0x0BE8, 4, 0}}},
      {LandCommand, "LAND:2", {{0x0BE8, 4, 2}}},
      {BaroCommand, "BARO:101325", {{0x0330, 2, 16212}}},
      {BaroCommand, "BARO:099200", {{0x0330, 2, 15872}}},
      {BaroCommand, "BARO: 99200", {{0x0330, 2, 15872}}},
      {BaroCommand, "BARO:1013", {{0x0330, 2, 162}}},  // the field is six characters
      {FlpsCommand, "FLPS:16383", {{0x0BDC, 4, 16383}}},
      {FlpsCommand, "FLPS:08192", {{0x0BDC, 4, 8192}}},
      {GdrfCommand, "GDRF:0090", {{0x0C3E, 2, 16384}}},
      {GdrfCommand, "GDRF:0359", {{0x0C3E, 2, 65354}}},
      {GdrfCommand, "GDRF:-010", {{0x0C3E, 2, 0xF8E4}}},
      {GdrfCommand, "GDRF:0000", {{0x0C3E, 2, 0}}},
      {Obs2Command, "OBS2:270", {{0x0C5E, 4, 270}}},
      {AobsCommand, "AOBS:045", {{0x0C6C, 2, 45}}},
  };
  for (const Case& c : cases) Run(c);
}

TEST_F(SystemsTest, ParseFailuresWriteNothing) {
  const struct {
    Handler handler;
    const char* request;
  } cases[] = {
      {EbatCommand, "EBAT"},         {EiceCommand, "EICE:x"},      {EcowCommand, "ECOW:-"},
      {LandCommand, "LAND: "},       {BaroCommand, "BARO:1013.2"}, {BaroCommand, "BARO:10 325"},
      {GdrfCommand, "GDRF:12a4"},    {FlpsCommand, "FLPS:"},       {Obs2Command, "OBS2:9 9"},
      {AobsCommand, "AOBS:$"},       {MagnCommand, "MAGN:b"},      {FlapCommand, "FLAP:+"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    const uint64_t before = link.peer.Exchanges();
    EXPECT_THROW(testing::Call(c.handler, link.state, c.request), RequestError);
    EXPECT_EQ(link.peer.Exchanges(), before);
    EXPECT_TRUE(link.TakeJournal().empty());
  }
}

// The dispatcher reaches every cockpit command by its code (two ignored bytes in front).
TEST_F(SystemsTest, EveryCockpitCodeIsDispatchedToItsHandler) {
  const struct {
    const char* received;
    uint32_t firstOffset;
  } cases[] = {
      {"..APGP:1", 0x132C},     {"..APAL:01000", 0x07D4}, {"..APVS:-0100", 0x07F2},
      {"..APHD:090", 0x07CC},   {"..EBAT:1", 0x3102},     {"..EALT:1", 0x3101},
      {"..EAVI:1", 0x3103},     {"..EFUE:1", 0x3104},     {"..EICE:1", 0x08B2},
      {"..EPIT:1", 0x029C},     {"..ECOW:1", 0x37F0},     {"..LIGH:000001", 0x0D0C},
      {"..LAND:1", 0x0BE8},     {"..FLAP:1", 0x0BFC},     {"..APCR:090", 0x0C4E},
      {"..APAP:1", 0x07BC},     {"..APFD:1", 0x2EE0},     {"..APNA:0", 0x07C4},
      {"..APPR:0", 0x07FC},     {"..APGS:1", 0x07FC},     {"..APHH:0", 0x07C8},
      {"..APAA:0", 0x0800},     {"..APSP:11", 0x0810},    {"..APYD:1", 0x0808},
      {"..APLV:1", 0x07C0},     {"..APIA:120", 0x07E2},   {"..APMA:078", 0x07E8},
      {"..BARO:101325", 0x0330}, {"..EXEC", 0x0130},      {"..MAGN:3", 0x0892},
      {"..FLPS:00000", 0x0BDC}, {"..GDRF:0090", 0x0C3E},  {"..OBS2:090", 0x0C5E},
      {"..AOBS:090", 0x0C6C},   {"..DTPA", 0x3102},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.received);
    const std::optional<std::string> answer = ServeRequest(link.state, c.received);
    EXPECT_EQ(answer.has_value(), std::string(c.received) == "..DTPA");
    const std::vector<sim::JournalEntry> got = link.TakeJournal();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].offset, c.firstOffset);
  }
  const uint64_t before = link.peer.Exchanges();
  EXPECT_EQ(ServeRequest(link.state, "..APMM:1"), std::nullopt);
  EXPECT_EQ(link.peer.Exchanges(), before);
}

}  // namespace
}  // namespace tavelor
