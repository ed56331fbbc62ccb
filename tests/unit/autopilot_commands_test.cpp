#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/autopilot_commands.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

using testing::Bytes;
using testing::SimLink;
using testing::Handler;

// One record the simulator should receive, and the exchange (1 = the command's first) it
// should arrive in.
struct Record {
  int exchange;
  uint32_t offset;
  uint32_t size;
  int64_t value;
  bool write = true;
};

struct Case {
  Handler handler;
  std::string request;
  std::vector<Record> records;
  int exchanges;
};

class AutopilotTest : public ::testing::Test {
 protected:
  void Run(const Case& c) {
    SCOPED_TRACE(c.request);
    const uint64_t before = link.peer.Exchanges();
    testing::Call(c.handler, link.state, c.request);
    EXPECT_EQ(link.peer.Exchanges() - before, static_cast<uint64_t>(c.exchanges));
    const std::vector<sim::JournalEntry> got = link.TakeJournal();
    ASSERT_EQ(got.size(), c.records.size());
    for (size_t i = 0; i < got.size(); ++i) {
      SCOPED_TRACE("record " + std::to_string(i));
      const Record& want = c.records[i];
      EXPECT_EQ(got[i].write, want.write);
      EXPECT_EQ(got[i].offset, want.offset);
      EXPECT_EQ(got[i].size, want.size);
      EXPECT_EQ(got[i].exchange, before + want.exchange);
      if (want.write) {
        EXPECT_EQ(got[i].data, Bytes(static_cast<uint64_t>(want.value), want.size));
      }
    }
  }

  SimLink link;
};

TEST_F(AutopilotTest, SwitchesWriteTheDigitUnchangedAsFourBytes) {
  const Case cases[] = {
      {ApgpCommand, "APGP:1", {{1, 0x132C, 4, 1}}, 1},
      {ApapCommand, "APAP:1", {{1, 0x07BC, 4, 1}}, 1},
      {ApfdCommand, "APFD:0", {{1, 0x2EE0, 4, 0}}, 1},
      {ApydCommand, "APYD:5", {{1, 0x0808, 4, 5}}, 1},  // not clamped to 1
      {AplvCommand, "APLV 1", {{1, 0x07C0, 4, 1}}, 1},  // position 5 is never read
  };
  for (const Case& c : cases) Run(c);
}

TEST_F(AutopilotTest, TargetsAreConvertedAndRoundedToNearest) {
  const Case cases[] = {
      {ApalCommand, "APAL:10000", {{1, 0x07D4, 4, 199763709}}, 1},
      {ApalCommand, "APAL:00000", {{1, 0x07D4, 4, 9988}}, 1},
      {ApalCommand, "APAL:-0100", {{1, 0x07D4, 4, -1987550}}, 1},
      {ApvsCommand, "APVS:-0500", {{1, 0x07F2, 4, 65036}}, 1},
      {ApvsCommand, "APVS:+0500", {{1, 0x07F2, 4, 500}}, 1},
      {ApvsCommand, "APVS: 0500", {{1, 0x07F2, 4, 500}}, 1},
      {ApvsCommand, "APVS:-0000", {{1, 0x07F2, 4, 65536}}, 1},
      {AphdCommand, "APHD:090", {{1, 0x07CC, 4, 16384}}, 1},
      {AphdCommand, "APHD:001", {{1, 0x07CC, 4, 182}}, 1},
      {AphdCommand, "APHD:360", {{1, 0x07CC, 4, 65536}}, 1},
      {ApcrCommand, "APCR:275", {{1, 0x0C4E, 4, 275}}, 1},
      {ApiaCommand, "APIA:250", {{1, 0x07E2, 2, 250}}, 1},
      {ApmaCommand, "APMA:078", {{1, 0x07E8, 4, 51118}}, 1},
      {ApmaCommand, "APMA:100", {{1, 0x07E8, 4, 65536}}, 1},
      // The speed re-send of the panels passes "APMA:" and the value the same way.
      {ApmaCommand, "APMA:082", {{1, 0x07E8, 4, 53740}}, 1},
  };
  for (const Case& c : cases) Run(c);
}

TEST_F(AutopilotTest, ModeCommandsWriteTheirBatchesInSeparateExchanges) {
  const Case cases[] = {
      {ApnaCommand, "APNA:0", {{1, 0x07C4, 4, 0}}, 1},
      {ApnaCommand, "APNA:1",
       {{1, 0x07FC, 4, 0}, {1, 0x0800, 4, 0}, {1, 0x0804, 4, 0}, {1, 0x07C8, 4, 0}, {1, 0x07C4, 4, 1}},
       1},
      {AphhCommand, "APHH:0", {{1, 0x07C8, 4, 0}}, 1},
      {AphhCommand, "APHH:1",
       {{1, 0x07FC, 4, 0}, {1, 0x0800, 4, 0}, {1, 0x0804, 4, 0}, {1, 0x07C4, 4, 0}, {1, 0x07C8, 4, 1}},
       1},
      {ApprCommand, "APPR:0",
       {{1, 0x07FC, 4, 0}, {1, 0x0800, 4, 0}, {1, 0x0804, 4, 0}, {1, 0x07C4, 4, 0}, {1, 0x07C8, 4, 0}},
       1},
      {ApprCommand, "APPR:1",
       {{1, 0x07FC, 4, 0}, {1, 0x0800, 4, 0}, {1, 0x0804, 4, 0}, {1, 0x07C4, 4, 0}, {1, 0x07C8, 4, 0},
        {2, 0x07FC, 4, 0}, {2, 0x0800, 4, 1}, {2, 0x0804, 4, 0}},
       2},
      {ApgsCommand, "APGS:1", {{1, 0x07FC, 4, 1}, {1, 0x07D0, 4, 0}}, 1},
      {ApgsCommand, "APGS:0", {{1, 0x07FC, 4, 0}, {1, 0x0800, 4, 0}, {2, 0x0800, 4, 1}}, 2},
      {ApgsCommand, "APGS:2", {{1, 0x07FC, 4, 2}, {1, 0x0800, 4, 2}, {2, 0x0800, 4, 1}}, 2},
      {ApspCommand, "APSP:11", {{1, 0x0810, 4, 1}, {1, 0x07DC, 2, 1}, {1, 0x07E4, 4, 1}}, 1},
  };
  for (const Case& c : cases) Run(c);
}

TEST_F(AutopilotTest, AltitudeHoldReadsFirstAndWritesTheSavedSwitchesBack) {
  link.peer.Memory().WriteU32(0x0800, 7);
  link.peer.Memory().WriteU32(0x0804, 3);
  Run({ApaaCommand, "APAA:1",
       {{1, 0x0800, 4, 0, false}, {1, 0x0804, 4, 0, false},
        {2, 0x07FC, 4, 0}, {2, 0x0800, 4, 0}, {2, 0x0804, 4, 0},
        {3, 0x07FC, 4, 0}, {3, 0x0800, 4, 7}, {3, 0x0804, 4, 3}, {3, 0x07D0, 4, 1}},
       3});
  Run({ApaaCommand, "APAA:0", {{1, 0x0800, 4, 0, false}, {1, 0x0804, 4, 0, false}, {2, 0x07D0, 4, 0}}, 2});
}

TEST_F(AutopilotTest, AltitudeHoldReadsEvenWhenItsDigitFailsButWritesNothing) {
  const uint64_t before = link.peer.Exchanges();
  EXPECT_THROW(testing::Call(ApaaCommand, link.state, "APAA:x"), RequestError);
  EXPECT_EQ(link.peer.Exchanges() - before, 1u);
  for (const sim::JournalEntry& e : link.TakeJournal()) EXPECT_FALSE(e.write) << e.offset;
}

TEST_F(AutopilotTest, ParseFailuresWriteNothingAndKeepTheSpeedMode) {
  const struct {
    Handler handler;
    const char* request;
    const char* message;
  } cases[] = {
      {ApvsCommand, "APVS:-", "'' is not a valid integer value"},  // ends at position 6
      {ApvsCommand, "APVS:-05x0", "'05x0' is not a valid integer value"},
      {ApspCommand, "APSP:1", "'' is not a valid integer value"},  // ends at position 6
      {ApspCommand, "APSP:x1", "'x' is not a valid integer value"},
      {ApalCommand, "APAL:1 000", "'1 000' is not a valid integer value"},
      {AphdCommand, "APHD", "'' is not a valid integer value"},
      {ApmaCommand, "APMA:.78", "'.78' is not a valid integer value"},
      {ApnaCommand, "APNA:-", "'-' is not a valid integer value"},
      {ApprCommand, "APPR:", "'' is not a valid integer value"},
      {ApgsCommand, "APGS:y", "'y' is not a valid integer value"},
      {ApmmCommand, "APMM:z", "'z' is not a valid integer value"},
      {ApapCommand, "APAP", "'' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    link.state.SpeedRefMode = 7;
    const uint64_t before = link.peer.Exchanges();
    try {
      testing::Call(c.handler, link.state, c.request);
      ADD_FAILURE() << "no error";
    } catch (const RequestError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(link.peer.Exchanges(), before);
    EXPECT_TRUE(link.TakeJournal().empty());
    EXPECT_EQ(link.state.SpeedRefMode, 7);
  }
}

TEST_F(AutopilotTest, SpeedHoldAndMachModeSetTheSpeedReferenceMode) {
  link.state.SpeedRefMode = 1;
  Run({ApspCommand, "APSP:10", {{1, 0x0810, 4, 1}, {1, 0x07DC, 2, 1}, {1, 0x07E4, 4, 1}}, 1});
  EXPECT_EQ(link.state.SpeedRefMode, 0);
  Run({ApmmCommand, "APMM:2", {}, 0});  // nothing goes to the simulator
  EXPECT_EQ(link.state.SpeedRefMode, 2);
  Run({ApmmCommand, "APMM:1", {}, 0});
  EXPECT_EQ(link.state.SpeedRefMode, 1);
}

}  // namespace
}  // namespace tavelor
