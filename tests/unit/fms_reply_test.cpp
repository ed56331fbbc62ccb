#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "replies/fms_reply.h"
#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "support/map_memory.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

using testing::Fields;
using testing::Ident;
using testing::LogCapture;
using testing::Poke;
using testing::SimLink;

const std::string kZeroFms = "   0.0000000000:   0.0000000000:     :\r\n";

class FmsReplyTest : public ::testing::Test {
 protected:
  SimLink link;
  sim::OffsetMemory& memory = link.peer.Memory();
};

TEST_F(FmsReplyTest, PositionAndWaypointInTheMapsForms) {
  const struct {
    const char* name;
    int64_t lat;
    int64_t lon;
    std::string id;
    std::string line;
  } cases[] = {
      {"nothing", 0, 0, "", kZeroFms},
      {"madrid", 19330735118745600, -192153584101141152, "LEMD",
       "  40.5000000000:  -3.7500000000:LEMD :\r\n"},
      {"south and west", -16165649421969654, -6067364710143992832, "KJFK12",
       " -33.8688000000:-118.4085000000:KJFK1:\r\n"},
      {"lon -180 fills the width", 0, INT64_MIN, "      ",
       "   0.0000000000:-180.0000000000:     :\r\n"},
      {"identifier trimmed", 0, 0, std::string(" AB\0\0\0", 6),
       "   0.0000000000:   0.0000000000:AB   :\r\n"},
      {"inner zero byte shown as ?", 0, 0, std::string("AB\0CD\0", 6),
       "   0.0000000000:   0.0000000000:AB?CD:\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Poke(memory, offsets::kLatitude, c.lat);
    Poke(memory, offsets::kLongitude, c.lon);
    Poke(memory, offsets::kGpsNextId, Ident(c.id));
    EXPECT_EQ(FmsReply(link.state), c.line);
  }
}

TEST_F(FmsReplyTest, DebugBlockFollowsTheLineWithTheSameTexts) {
  Poke(memory, offsets::kLatitude, -16165649421969654);
  Poke(memory, offsets::kLongitude, -192153584101141152);
  Poke(memory, offsets::kGpsNextId, Ident("AB"));
  {
    LogCapture log(link.state);
    FmsReply(link.state);
    EXPECT_TRUE(log.lines.empty());
  }
  LogCapture log(link.state);
  link.state.DebugEnabled = true;
  EXPECT_EQ(FmsReply(link.state), " -33.8688000000:  -3.7500000000:AB   :\r\n");
  const std::vector<std::string> expected = {
      "- FMS Panel:" + std::string(21, '-'), "- Lat: -33.8688000000", "- Lon:  -3.7500000000",
      "- Gps Id:AB   "};
  EXPECT_EQ(log.lines, expected);
}

TEST_F(FmsReplyTest, RandomMemoryKeepsTheLineShape) {
  std::mt19937_64 random(0x464D53);
  for (int round = 0; round < 200; ++round) {
    testing::FillPlausible(memory, random);
    const std::string line = FmsReply(link.state);
    SCOPED_TRACE(line);
    const std::vector<std::string> f = Fields(line);
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[1].size(), 15u);
    EXPECT_EQ(f[2].size(), 15u);
    EXPECT_EQ(f[3].size(), 5u);
    EXPECT_EQ(line.size(), 40u);
  }
}

}  // namespace
}  // namespace tavelor
