// The periodic speed re-send of the PFD and FGP panels: each panel counts its own replies and
// on every 101st writes the autopilot speed target it has just read back, as a Mach number in
// Mach mode and as an airspeed otherwise, in an exchange of its own.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "replies/fgp_reply.h"
#include "replies/pfd_reply.h"
#include "simlink/offsets.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

using testing::Bytes;
using testing::Poke;
using testing::RequestErrorOf;
using testing::SimLink;
using testing::WritesOf;

struct ResendPanel {
  const char* name;
  std::string (*reply)(RequestState& state);
  int RequestState::*refreshCount;  // the panel's own count
};

// The panel's name in the test's name, not the struct's bytes.
void PrintTo(const ResendPanel& panel, std::ostream* out) { *out << panel.name; }

const ResendPanel kPanels[] = {
    {"Pfd", PfdReply, &RequestState::PfdRefreshCount},
    {"Fgp", FgpReply, &RequestState::FgpRefreshCount},
};

class SpeedResend : public ::testing::TestWithParam<ResendPanel> {
 protected:
  std::string Reply(SimLink& link) { return GetParam().reply(link.state); }
  int& Count(SimLink& link) { return link.state.*GetParam().refreshCount; }
};

TEST_P(SpeedResend, EveryHundredAndFirstRequestWritesTheTargetBack) {
  const struct {
    int mode;
    uint32_t offset;
    uint32_t size;
    uint64_t value;
  } cases[] = {
      {1, 0x07E8, 4, 52429},  // APMA:080
      {0, 0x07E2, 2, 250},    // APIA:250
      {2, 0x07E2, 2, 250},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    SimLink link;
    Poke(link.peer.Memory(), offsets::kApMach, 52429);
    Poke(link.peer.Memory(), offsets::kApAirspeed, 250);
    link.state.SpeedRefMode = c.mode;
    for (int request = 1; request <= 202; ++request) {
      Reply(link);
      const std::vector<sim::JournalEntry> writes = WritesOf(link);
      if (request != 101 && request != 202) {
        ASSERT_TRUE(writes.empty()) << "request " << request;
        continue;
      }
      ASSERT_EQ(writes.size(), 1u) << "request " << request;
      EXPECT_EQ(writes[0].offset, c.offset);
      EXPECT_EQ(writes[0].data, Bytes(c.value, c.size));
      EXPECT_EQ(Count(link), 0);
    }
    EXPECT_EQ(link.ExchangesSinceOpen(), 204u);  // 202 reads, 2 re-sends
  }
}

TEST_P(SpeedResend, TheOtherPanelsRepliesDoNotCount) {
  SimLink link;
  const ResendPanel& other = GetParam().reply == PfdReply ? kPanels[1] : kPanels[0];
  for (int request = 0; request < 150; ++request) other.reply(link.state);
  link.TakeJournal();
  EXPECT_EQ(Count(link), 0);
  Reply(link);
  EXPECT_TRUE(WritesOf(link).empty());
  EXPECT_EQ(Count(link), 1);
}

TEST_P(SpeedResend, AFailedReadPostponesTheResendToTheNextGoodOne) {
  SimLink link;
  Poke(link.peer.Memory(), offsets::kApMach, 52429);
  Count(link) = 100;
  bool quit = false;
  ASSERT_EQ(link.peer.Control("fail 2", &quit), "OK");
  for (int failed = 0; failed < 2; ++failed) {
    Reply(link);
    EXPECT_TRUE(WritesOf(link).empty());  // a target of 0 would throw the pilot's away
  }
  EXPECT_EQ(Count(link), 102);

  Reply(link);
  const std::vector<sim::JournalEntry> writes = WritesOf(link);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].data, Bytes(52429, 4));
  EXPECT_EQ(Count(link), 0);
}

// A Mach target of -0.01 to -0.09 reads "0-1" to "0-9", which the Mach command cannot parse:
// that request ends unanswered, and the next hundred are answered before the next try.
TEST_P(SpeedResend, AnUnparsableMachCostsOnlyItsOwnReply) {
  const struct {
    int32_t mach65536;
    const char* error;  // nullptr: the re-send goes through
    uint64_t written;
  } cases[] = {
      {-655, "'0-1' is not a valid integer value", 0},
      {-5898, "'0-9' is not a valid integer value", 0},
      {-32768, nullptr, 0xFFFF8000},  // "-50" parses
      {-6554, nullptr, 0xFFFFE666},   // "-10" parses: -0.10 x 65536 rounds to -6554
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mach65536);
    SimLink link;
    Poke(link.peer.Memory(), offsets::kApMach, c.mach65536);
    Count(link) = 100;
    if (c.error == nullptr) {
      EXPECT_NO_THROW(Reply(link));
      const std::vector<sim::JournalEntry> writes = WritesOf(link);
      ASSERT_EQ(writes.size(), 1u);
      EXPECT_EQ(writes[0].data, Bytes(c.written, 4));
      EXPECT_EQ(Count(link), 0);
      continue;
    }
    for (int round = 0; round < 2; ++round) {
      EXPECT_EQ(RequestErrorOf(GetParam().reply, link.state), c.error);
      EXPECT_TRUE(WritesOf(link).empty());
      for (int request = 1; request <= 100; ++request) ASSERT_NO_THROW(Reply(link)) << "request " << request;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Panels, SpeedResend, ::testing::ValuesIn(kPanels),
                         [](const ::testing::TestParamInfo<ResendPanel>& info) { return info.param.name; });

}  // namespace
}  // namespace tavelor
