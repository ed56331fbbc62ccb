#include <gtest/gtest.h>

#include "replies/radio_reply.h"
#include "replies/radio_rules.h"
#include "core/request_text.h"
#include "server/request.h"
#include "simlink/ipc_client.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

using testing::Bytes;
using testing::SimLink;

struct Write {
  uint32_t offset;
  std::vector<uint8_t> bytes;
};

TEST(RadioCommands, WriteTheirValuesInOneExchange) {
  struct Case {
    const char* request;
    std::vector<Write> writes;
  } cases[] = {
      {"..COM1 118.25 121.50", {{0x034E, Bytes(0x1825, 2)}, {0x311A, Bytes(0x2150, 2)}}},
      {"..COM2 119.10 124.85", {{0x3118, Bytes(0x1910, 2)}, {0x311C, Bytes(0x2485, 2)}}},
      {"..NAV1 110.50 113.90", {{0x0350, Bytes(0x1050, 2)}, {0x311E, Bytes(0x1390, 2)}}},
      {"..NAV2 108.00 117.95", {{0x0352, Bytes(0x0800, 2)}, {0x3120, Bytes(0x1795, 2)}}},
      {"..NAV1 11A.2F 1xx.yy", {}},  // "xx" is not hexadecimal: nothing written at all
      {"..COM1 11A.2F 121.50", {{0x034E, Bytes(0x1A2F, 2)}, {0x311A, Bytes(0x2150, 2)}}},
      {"..CO11 118.250 121.500", {{0x05C4, Bytes(118250000, 4)}, {0x05CC, Bytes(121500000, 4)}}},  // hertz
      {"..CO22 136.990 118.005", {{0x05C8, Bytes(136990000, 4)}, {0x05D0, Bytes(118005000, 4)}}},
      {"..CO11 -99.999 $FF.FFF", {{0x05C4, Bytes(static_cast<uint32_t>(-99999000), 4)}, {0x05CC, Bytes(1048575000, 4)}}},
      {"..ADF0 1024", {{0x034C, Bytes(0x0102, 2)}, {0x0356, Bytes(0, 2)}}},
      {"..ADF0 379", {{0x034C, Bytes(0x0379, 2)}, {0x0356, Bytes(0, 2)}}},
      {"..TRA0 8888", {{0x0354, Bytes(0x8888, 2)}}},
      {"..TRA0", {}},
      {"..COM1 118.25", {}},  // the standby value is missing: the active one is not written either
      {"..AUD0 10000001", {{0x3122, Bytes(0x81, 1)}}},
      {"..AUD0 x1x1", {{0x3122, Bytes(0x05, 1)}}},
      {"..AUD0", {{0x3122, Bytes(0, 1)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    SimLink link;
    bool failed = false;
    try {
      ServeRequest(link.state, c.request);
    } catch (const RequestError&) {
      failed = true;
    }
    std::vector<sim::JournalEntry> journal = link.TakeJournal();
    EXPECT_EQ(failed, c.writes.empty());
    ASSERT_EQ(journal.size(), c.writes.size());
    for (size_t i = 0; i < journal.size(); ++i) {
      EXPECT_TRUE(journal[i].write);
      EXPECT_EQ(journal[i].offset, c.writes[i].offset);
      EXPECT_EQ(journal[i].data, c.writes[i].bytes);
      EXPECT_EQ(journal[i].exchange, journal[0].exchange);
    }
    EXPECT_EQ(link.ExchangesSinceOpen(), c.writes.empty() ? 0u : 1u);
  }
}

TEST(RadioReply, DmeTextIsFiveCharactersAndBlankBeyondRange) {
  const std::pair<uint16_t, const char*> cases[] = {
      {0, "  0.0"},    {9, "  0.9"},    {10, "  1.0"},  {99, "  9.9"},     {100, " 10.0"},
      {999, " 99.9"},  {1000, "100.0"}, {6500, "650.0"}, {6501, "  0.0"}, {65535, "  0.0"},
      {5, "  0.5"},    {123, " 12.3"},
  };
  for (const auto& [tenths, text] : cases) EXPECT_EQ(DmeText(tenths), text) << tenths;
}

TEST(RadioReply, FieldsInPanelOrderWithComTwoLast) {
  SimLink link;
  auto& memory = link.peer.Memory();
  memory.WriteU16(0x0300, 5);
  memory.WriteU16(0x0306, 6501);
  memory.WriteU16(0x0354, 0x7700);
  memory.WriteU16(0x034E, 0x2290);
  memory.WriteU16(0x311A, 0x1850);
  memory.WriteU16(0x3118, 0x2A5F);
  memory.WriteU16(0x311C, 0x1910);
  memory.WriteU16(0x0350, 0x0800);
  memory.WriteU16(0x311E, 0x1390);
  memory.WriteU16(0x0352, 0x1410);
  memory.WriteU16(0x3120, 0x0900);
  memory.WriteU16(0x034C, 0x0205);
  uint8_t audio = 0x01;
  memory.Write(0x3122, 1, &audio);
  EXPECT_EQ(RadioReply(link.state),
            "  0.5:  0.0:7700:122.90:118.50:108.00:113.90:114.10:109.00:0205:00000001:12A.5F:"
            "119.10:\r\n");
  std::vector<sim::JournalEntry> journal = link.TakeJournal();
  ASSERT_EQ(journal.size(), 13u);
  EXPECT_EQ(journal[5].offset, 0x3118u);  // COM2 is read right after COM1
  EXPECT_EQ(journal[12].size, 1u);
}

}  // namespace
}  // namespace tavelor
