// The HSI and PFD family of panels, from a panel client through the server to the stand-in
// simulator: what is read, in how many exchanges, and the PFD's periodic speed re-send.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/harness.h"

namespace tavelor::e2e {
namespace {

size_t FieldCount(const std::string& line) {
  size_t colons = 0;
  for (char c : line) colons += c == ':';
  return colons;
}

// The PFD panel as a client draws it, one read per value, in the panel's order.
const std::vector<std::string> kPfdReads = {
    "R 02BC 4", "R 3070 8", "R 02C8 4", "R 3324 2", "R 0578 4", "R 057C 4", "R 31E4 4",
    "R 07BC 4", "R 07C8 4", "R 07C4 4", "R 07D0 4", "R 0800 4", "R 07FC 4", "R 132C 4",
    "R 07DC 4", "R 07D4 4", "R 11C6 2", "R 02B4 4", "R 0330 2", "R 2B00 8", "R 0C6A 2",
    "R 0C5C 2", "R 07CC 2", "R 0C4E 2", "R 0C4B 1", "R 0C48 1", "R 0C49 1", "R 0C4C 1",
    "R 0E92 2", "R 0E90 2", "R 3000 6", "R 0300 2", "R 0C50 2", "R 0304 2", "R 301F 6",
    "R 0306 2", "R 0C60 2", "R 030A 2", "R 07F2 2", "R 303E 6", "R 02B8 4", "R 0E8C 2",
    "R 07E8 4", "R 2EE0 4", "R 2EE8 8", "R 2EF0 8", "R 02C4 4", "R 07E2 2", "R 0C1C 4",
    "R 60A4 6", "R 60EC 8", "R 6060 8", "R 6058 8", "R 60E4 4",
};

TEST(PanelsEndToEnd, PfdReadsItsWholePanelInOneExchange) {
  Stack stack;
  stack.StartBoth();
  ASSERT_EQ(stack.control.Command("poke 07E8 CDCC0000"), "OK");  // Mach target 0.80
  ASSERT_EQ(stack.control.Command("poke 07E2 FA00"), "OK");      // airspeed target 250
  Client client = stack.Connect();
  stack.control.Journal();

  const std::string reply = client.Ask("xxPFD");
  EXPECT_EQ(FieldCount(reply), 49u) << reply;
  EXPECT_NE(reply.find(":080:"), std::string::npos) << reply;

  // The reply came after the exchange: the journal holds the whole request, and nothing else.
  const std::vector<std::string> lines = stack.control.Journal();
  ASSERT_EQ(lines.size(), kPfdReads.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(RecordOf(lines[i]), kPfdReads[i]) << i;
    EXPECT_EQ(ExchangeOf(lines[i]), ExchangeOf(lines[0])) << lines[i];
  }
}

TEST(PanelsEndToEnd, TheHundredAndFirstPfdWritesTheMachTargetBack) {
  Stack stack;
  stack.StartBoth();
  ASSERT_EQ(stack.control.Command("poke 07E8 CDCC0000"), "OK");
  Client client = stack.Connect();
  stack.control.Journal();  // the link's handshake

  for (int request = 1; request <= 100; ++request) {
    ASSERT_EQ(FieldCount(client.Ask("xxPFD")), 49u) << request;
  }
  for (const std::string& line : stack.control.Journal()) {
    ASSERT_EQ(RecordOf(line)[0], 'R') << line;
  }

  ASSERT_EQ(FieldCount(client.Ask("xxPFD")), 49u);
  const std::vector<std::string> lines = stack.control.JournalOf(kPfdReads.size() + 1);
  ASSERT_EQ(lines.size(), kPfdReads.size() + 1);
  EXPECT_EQ(RecordOf(lines.back()), "W 07E8 4 CDCC0000");
  EXPECT_EQ(ExchangeOf(lines.back()), ExchangeOf(lines.front()) + 1);  // an exchange of its own
}

TEST(PanelsEndToEnd, HsiAndPfdpAnswerAndAFaultyRealIsLoggedUnanswered) {
  Stack stack;
  stack.StartBoth();
  ASSERT_EQ(stack.control.Command("poke 3000 4D4144000000"), "OK");  // NAV1 "MAD"
  ASSERT_EQ(stack.control.Command("poke 0BAC 0100"), "OK");          // outer marker
  Client client = stack.Connect();

  const std::string hsi = client.Ask("xxHSI");
  EXPECT_EQ(FieldCount(hsi), 23u) << hsi;
  EXPECT_NE(hsi.find(":100:"), std::string::npos) << hsi;
  EXPECT_NE(hsi.find(":MAD--:"), std::string::npos) << hsi;
  EXPECT_EQ(client.Ask("xxHSI\r\n"), "noversion\r\n");

  const std::string pfdp = client.Ask("xxPFDP");
  EXPECT_EQ(FieldCount(pfdp), 45u) << pfdp;
  EXPECT_EQ(pfdp.substr(pfdp.size() - 7), ":100:\r\n");

  // GPS cross-track reading not a number: the request ends with the real fault, no reply.
  ASSERT_EQ(stack.control.Command("poke 6058 000000000000F87F"), "OK");
  client.Send("xxHSI");
  EXPECT_TRUE(stack.server.WaitForLine("- Error: Invalid floating point operation."));
  EXPECT_TRUE(AnsweredNothingBefore(client));
  ASSERT_EQ(stack.control.Command("poke 6058 0000000000000000"), "OK");
  EXPECT_EQ(FieldCount(client.Ask("xxHSI")), 23u);  // the connection stays open
}

}  // namespace
}  // namespace tavelor::e2e
