// Cockpit commands, the electric panel and a flight plan upload, from a panel client through
// the server to the stand-in simulator's journal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "e2e/harness.h"

namespace tavelor::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Each record with the exchange it must come in, counted from the command's first exchange.
struct Expected {
  int exchange;
  const char* record;
};

void ExpectJournal(Stack& stack, const std::vector<Expected>& expected) {
  const std::vector<std::string> lines = stack.control.JournalOf(expected.size());
  ASSERT_EQ(lines.size(), expected.size());
  const long first = ExchangeOf(lines[0]);
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(RecordOf(lines[i]), expected[i].record) << i;
    EXPECT_EQ(ExchangeOf(lines[i]) - first, expected[i].exchange - 1) << lines[i];
  }
}

TEST(CommandsEndToEnd, CommandsReachTheSimulatorInTheirExchanges) {
  Stack stack;
  stack.StartBoth();
  ASSERT_EQ(stack.control.Command("poke 0800 01000000"), "OK");
  ASSERT_EQ(stack.control.Command("poke 0804 02000000"), "OK");
  Client client = stack.Connect();
  stack.control.Journal();

  const struct {
    const char* request;
    std::vector<Expected> journal;
  } cases[] = {
      {"xxAPPR:1",
       {{1, "W 07FC 4 00000000"}, {1, "W 0800 4 00000000"}, {1, "W 0804 4 00000000"},
        {1, "W 07C4 4 00000000"}, {1, "W 07C8 4 00000000"},
        {2, "W 07FC 4 00000000"}, {2, "W 0800 4 01000000"}, {2, "W 0804 4 00000000"}}},
      // APPR has just left the localiser on and the back course off: both come back.
      {"xxAPAA:1",
       {{1, "R 0800 4"}, {1, "R 0804 4"},
        {2, "W 07FC 4 00000000"}, {2, "W 0800 4 00000000"}, {2, "W 0804 4 00000000"},
        {3, "W 07FC 4 00000000"}, {3, "W 0800 4 01000000"}, {3, "W 0804 4 00000000"},
        {3, "W 07D0 4 01000000"}}},
      {"xxLIGH:101010", {{1, "W 0D0C 2 2A00"}}},
      {"xxBARO:101325", {{1, "W 0330 2 543F"}}},
      {"xxECOW:1",
       {{1, "W 37F0 8 000000000000F03F"}, {1, "W 3730 8 000000000000F03F"},
        {1, "W 3670 8 000000000000F03F"}, {1, "W 35B0 8 000000000000F03F"}}},
      {"xxAPAL:10000", {{1, "W 07D4 4 FD26E80B"}}},
      {"xxGDRF:-010", {{1, "W 0C3E 2 E4F8"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    client.Send(c.request);
    ExpectJournal(stack, c.journal);
    EXPECT_TRUE(AnsweredNothingBefore(client));
    EXPECT_TRUE(stack.control.Journal().empty()) << "nothing more reached the simulator";
  }

  // The saved switches are written back, whatever they held.
  ASSERT_EQ(stack.control.Command("poke 0804 02000000"), "OK");
  client.Send("xxAPAA:1");
  const std::vector<std::string> lines = stack.control.JournalOf(9);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(RecordOf(lines[7]), "W 0804 4 02000000");

  // A bad digit is logged and nothing reaches the simulator.
  client.Send("xxAPVS:-");
  EXPECT_TRUE(stack.server.WaitForLine("- Error: '' is not a valid integer value."));
  EXPECT_TRUE(stack.control.Journal().empty());
}

TEST(CommandsEndToEnd, ElectricPanelShowsPokedValues) {
  Stack stack;
  stack.StartBoth();
  const char* pokes[] = {
      "poke 3102 01",   "poke 3101 01",       "poke 3103 00",
      "poke 3104 01",   "poke 08B2 0101",     "poke 029C 01",
      "poke 37F0 0000000000000440",  // 2.5: halves go to the even neighbour
      "poke 0D0C 6A00",  // bit 6 is not one of the six
      "poke 0BEC FF3F0000", "poke 0BDC 00200000", "poke 0BFC 02",
  };
  for (const char* poke : pokes) ASSERT_EQ(stack.control.Command(poke), "OK") << poke;
  Client client = stack.Connect();
  EXPECT_EQ(client.Ask("xxDTPA\r\n"), "11011121010101:08192:2:\r\n");

  // Gear in transit, flap lever negative.
  ASSERT_EQ(stack.control.Command("poke 0BEC FE3F0000"), "OK");
  ASSERT_EQ(stack.control.Command("poke 0BDC FFFFFFFF"), "OK");
  EXPECT_EQ(client.Ask("xxDTPA"), "11011121010100:000-1:2:\r\n");
}

class FlightPlanEndToEnd : public ::testing::Test {
 protected:
  // The server keeps the plan in its own folder.
  fs::path PlanPath() const { return fs::canonical(TAVELOR_SERVER_BIN).parent_path() / "Quindrel.pln"; }
  void SetUp() override {
    std::error_code ignored;
    fs::remove(PlanPath(), ignored);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove(PlanPath(), ignored);
  }
  std::string PlanBytes() const {
    std::ifstream in(PlanPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Chunks answer nothing and touch no simulator value: wait until the file has grown.
  bool WaitForPlanSize(size_t size) const {
    const auto deadline = Clock::now() + milliseconds(5000);
    while (Clock::now() < deadline) {
      std::error_code error;
      if (fs::file_size(PlanPath(), error) == size && !error) return true;
      std::this_thread::sleep_for(milliseconds(20));
    }
    return false;
  }
};

TEST_F(FlightPlanEndToEnd, AWholePlanIsUploadedAndHandedToTheSimulator) {
  Stack stack;
  stack.StartBoth();
  Client client = stack.Connect();

  const std::vector<std::string> chunks = {
      "<?xml version=\"1.0\"?>\r\n<FlightPlan>\r\n",
      "<Title>Caf\xE9 to N47&30'</Title>\r\n",
      "<Waypoint id=\"W1\">E8&20'</Waypoint>\r\n</FlightPlan>\r\n",
  };
  std::string expected = "\xEF\xBB\xBF";
  for (size_t i = 0; i < chunks.size(); ++i) {
    client.Send(std::string("xx") + (i == 0 ? "PLAX:" : "PLAN:") + chunks[i]);
    for (char c : chunks[i]) {
      if (c == '&') expected += "\xC2\xB0";
      else if (c == '\xE9') expected += "\xC3\xA9";
      else expected += c;
    }
    ASSERT_TRUE(WaitForPlanSize(expected.size())) << "chunk " << i;
  }
  EXPECT_EQ(PlanBytes(), expected);

  stack.control.Journal();
  client.Send("xxEXEC");
  const std::vector<std::string> lines = stack.control.JournalOf(1);
  ASSERT_EQ(lines.size(), 1u);
  const std::string record = RecordOf(lines[0]);
  ASSERT_EQ(record.rfind("W 0130 256 ", 0), 0u) << record;
  const std::string hex = record.substr(11);
  ASSERT_EQ(hex.size(), 512u);
  std::string field;
  for (size_t i = 0; i < hex.size(); i += 2) field += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  const std::string path = PlanPath().string();
  EXPECT_EQ(field, path + std::string(256 - path.size(), '\0'));

  // The raw pair stores bytes unchanged, and replaces the plan.
  client.Send("xxPLA9:a&\xE9");
  ASSERT_TRUE(WaitForPlanSize(3));
  client.Send("xxPL99:b");
  ASSERT_TRUE(WaitForPlanSize(4));
  EXPECT_EQ(PlanBytes(), "a&\xE9" "b");
}

TEST_F(FlightPlanEndToEnd, AppendingWithoutAPlanIsLoggedAndCreatesNothing) {
  Stack stack;
  stack.StartBoth();
  Client client = stack.Connect();
  client.Send("xxPLAN:<FlightPlan>");
  EXPECT_TRUE(stack.server.WaitForLine("- Error: File not found"));
  EXPECT_FALSE(fs::exists(PlanPath()));
  EXPECT_EQ(client.Ask("xxV100"), "2.01b\r\n");
}

}  // namespace
}  // namespace tavelor::e2e
