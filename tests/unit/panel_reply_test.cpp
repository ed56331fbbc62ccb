#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "replies/hsi_rules.h"
#include "replies/panel_reply.h"
#include "simlink/offsets.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

using testing::LogCapture;
using testing::Poke;
using testing::ScopedDebug;
using testing::SimLink;

// A read or write whose variable does not have the offset's own type does not compile.
template <typename Offset, typename Variable>
constexpr bool kReadable = requires(Offset o, Variable* v) { IpcRead(o, v); };
static_assert(kReadable<decltype(offsets::kTransponder), uint16_t>);
static_assert(!kReadable<decltype(offsets::kTransponder), uint32_t>);
static_assert(!kReadable<decltype(offsets::kHeading), float>);
static_assert(!kReadable<decltype(offsets::kNav1Ident), char>);

TEST(PanelReply, LineOrderAndDebugOrderEachAsWritten) {
  PanelReply reply("- Test Panel:---");
  reply.Field("A", "1").Log("C", "3").Field("B", "2").Field("3");
  EXPECT_EQ(reply.FieldCount(), 3u);
  LogCapture log;
  {
    ScopedDebug off(false);
    EXPECT_EQ(reply.Finish(), "1:2:3:\r\n");
    EXPECT_TRUE(log.lines.empty());
  }
  ScopedDebug on(true);
  EXPECT_EQ(reply.Finish(), "1:2:3:\r\n");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"- Test Panel:---", "- A:1", "- C:3", "- B:2"}));
}

TEST(PanelReads, ValuesStartAtZeroAndArriveInOneExchange) {
  SimLink link;
  Poke(link.peer.Memory(), offsets::kTransponder, 0x7000);
  Poke(link.peer.Memory(), offsets::kHeading, 271.5);
  PanelReads in;
  const auto& transponder = in.Read(offsets::kTransponder);
  const auto& heading = in.Read(offsets::kHeading);
  EXPECT_EQ(transponder, 0);
  EXPECT_TRUE(in.Process());
  EXPECT_EQ(transponder, 0x7000);
  EXPECT_EQ(heading, 271.5);
  EXPECT_EQ(link.ExchangesSinceOpen(), 1u);
}

TEST(HsiRules, IdentifiersAndTheCrossTrackNeedle) {
  using testing::IdentOf;
  const struct {
    offsets::Ident bytes;
    std::string after;
    std::string before;
  } idents[] = {
      {IdentOf("ABC\0\0\0"), "ABC--", "--ABC"},
      {IdentOf("\0\0\0\0\0\0"), "-----", "-----"},
      {IdentOf(" AB \0\0"), "AB---", "---AB"},
      {IdentOf("ABCDEF"), "ABCDE", "ABCDE"},
      {IdentOf("AB\0CD\0"), std::string("AB\0CD", 5), std::string("AB\0CD", 5)},  // inner zero stays
  };
  for (const auto& c : idents) {
    EXPECT_EQ(IdentText(c.bytes, DashSide::kAfter), c.after);
    EXPECT_EQ(IdentText(c.bytes, DashSide::kBefore), c.before);
  }
  const std::pair<double, const char*> needles[] = {
      {0.0, "000"},       {1852.0, "025"},   {-1852.0, "231"}, {9260.0, "127"},
      {-9260.0, "129"},   {1e9, "127"},      {-1e9, "129"},    {std::nan(""), "129"},
      {-0.0, "000"},
  };
  for (const auto& [metres, text] : needles) EXPECT_EQ(CrossTrackText(metres), text) << metres;
}

}  // namespace
}  // namespace tavelor
