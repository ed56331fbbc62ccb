#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "replies/gps_rules.h"
#include "replies/identifier_rules.h"
#include "replies/panel_reply.h"
#include "simlink/offsets.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

using testing::LogCapture;
using testing::Poke;
using testing::SimLink;

// A read or write whose variable does not have the offset's own type does not compile.
template <typename Offset, typename Variable>
constexpr bool kReadable = requires(IpcClient& link, Offset o, Variable* v) { IpcRead(link, o, v); };
static_assert(kReadable<decltype(offsets::kTransponder), uint16_t>);
static_assert(!kReadable<decltype(offsets::kTransponder), uint32_t>);
static_assert(!kReadable<decltype(offsets::kHeading), float>);
static_assert(!kReadable<decltype(offsets::kNav1Ident), char>);

TEST(PanelReply, LineInTableOrderAndDebugBlockAsWritten) {
  SimLink link;
  const auto reply = [&] {
    PanelReply reply(link.state, ReplyCode::kFms);
    for (int number = 1; number <= 3; ++number) reply.Field(number, std::to_string(number));
    reply.Log(3).LogJoined({1, 2}, "/").LogText("C", "x");
    return reply.Finish();
  };
  LogCapture log(link.state);
  {
    EXPECT_EQ(reply(), "1:2:3:\r\n");
    EXPECT_TRUE(log.lines.empty());
  }
  link.state.DebugEnabled = true;
  EXPECT_EQ(reply(), "1:2:3:\r\n");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"- FMS Panel:---------------------", "- Gps Id:3", "- Lat:1/2", "- C:x"}));
}

TEST(PanelReads, ValuesStartAtZeroAndArriveInOneExchange) {
  SimLink link;
  Poke(link.peer.Memory(), offsets::kTransponder, 0x7000);
  Poke(link.peer.Memory(), offsets::kHeading, 271.5);
  PanelReads in(link.client);
  const auto& transponder = in.Read(offsets::kTransponder);
  const auto& heading = in.Read(offsets::kHeading);
  EXPECT_EQ(transponder, 0);
  EXPECT_TRUE(in.Process());
  EXPECT_EQ(transponder, 0x7000);
  EXPECT_EQ(heading, 271.5);
  EXPECT_EQ(link.ExchangesSinceOpen(), 1u);
}

TEST(IdentifierRules, TrimCutAndFill) {
  using testing::Chars;
  const struct {
    std::string bytes;  // zero bytes included
    size_t width;
    char fill;
    FillSide side;
    std::string text;
  } cases[] = {
      {std::string("ABC\0\0\0", 6), 5, '-', FillSide::kAfter, "ABC--"},
      {std::string("ABC\0\0\0", 6), 5, '-', FillSide::kBefore, "--ABC"},
      {std::string(6, '\0'), 5, '-', FillSide::kAfter, "-----"},
      {std::string(" AB \0\0", 6), 5, '-', FillSide::kBefore, "---AB"},
      {"ABCDEF", 5, '-', FillSide::kAfter, "ABCDE"},
      {std::string("AB\0CD\0", 6), 5, '-', FillSide::kAfter, "AB?CD"},  // an inner zero is no padding
      {std::string("EGLL\0\0", 6), 5, ' ', FillSide::kAfter, "EGLL "},
      {std::string(6, '\0'), 5, ' ', FillSide::kAfter, "     "},
      {"ABC123", 15, ' ', FillSide::kAfter, "ABC123         "},
      {"ABCDEFGHIJKLMNO", 15, ' ', FillSide::kAfter, "ABCDEFGHIJKLMNO"},
      {std::string(15, ' '), 15, ' ', FillSide::kAfter, std::string(15, ' ')},
      {"  IB3456 ", 15, ' ', FillSide::kAfter, "IB3456         "},
  };
  for (const auto& c : cases) EXPECT_EQ(SimulatorText(c.bytes, c.width, c.fill, c.side), c.text) << c.text;
  EXPECT_EQ(IdentText(Chars<6>("ABC"), FillSide::kBefore), "--ABC");
  EXPECT_EQ(GpsIdText(Chars<6>("ABC")), "ABC  ");
}

TEST(GpsRules, TheCrossTrackNeedle) {
  const std::pair<double, const char*> needles[] = {
      {0.0, "000"},       {1852.0, "025"},   {-1852.0, "231"}, {9260.0, "127"},
      {-9260.0, "129"},   {1e9, "127"},      {-1e9, "129"},    {std::nan(""), "129"},
      {-0.0, "000"},
  };
  for (const auto& [metres, text] : needles) EXPECT_EQ(CrossTrackText(metres), text) << metres;
}

}  // namespace
}  // namespace tavelor
