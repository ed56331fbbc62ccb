#include <gtest/gtest.h>

#include "core/request_text.h"
#include "server/request.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

using testing::LogCapture;
using testing::SimLink;

TEST(RequestFraming, TwoLeadingBytesAreDroppedAndTheTextIsCutAt1000) {
  struct Case {
    std::string received, text, code;
  } cases[] = {
      {"", "", ""},
      {"x", "", ""},
      {"xy", "", ""},
      {"xyR", "R", "R"},
      {"xyHSI", "HSI", "HSI"},
      {"\r\nRADI\r\n", "RADI\r\n", "RADI"},
      {"xy" + std::string(1200, 'A'), std::string(1000, 'A'), "AAAA"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.received);
    EXPECT_EQ(RequestTextOf(c.received), c.text);
    EXPECT_EQ(RequestCodeOf(RequestTextOf(c.received)), c.code);
  }
  EXPECT_EQ(Positions("COM1 118.25", 7, 8), "18");
  EXPECT_EQ(Positions("COM1 1", 7, 8), "");
  EXPECT_EQ(Positions("COM1 11", 7, 8), "1");
}

TEST(Dispatcher, VersionCodesAndTheFallback) {
  SimLink link;
  const std::pair<std::string, std::string> cases[] = {
      {"..V100", "2.01b\r\n"},        {"..V172", "2.02a\r\n"},      {"..V177\r\n", "2.02a\r\n"},
      {"..VMAP", "2.01a\r\n"},        {"..VPFD", "2.01a\r\n"},      {"..v177", "noversion\r\n"},
      {"V177", "noversion\r\n"},      {"..", "noversion\r\n"},       {"", "noversion\r\n"},
      {"..V17", "noversion\r\n"},     {"..XXXX", "noversion\r\n"},
  };
  for (const auto& [received, answer] : cases) {
    SCOPED_TRACE(received);
    EXPECT_EQ(ServeRequest(link.state, received), answer);
  }
}

TEST(Dispatcher, DebugLineComesFirstAlsoForEmptyCodes) {
  SimLink link;
  LogCapture log(link.state);
  link.state.DebugEnabled = true;
  link.state.clock = [] { return TimeOfDay{9, 5, 7}; };
  ServeRequest(link.state, "..");
  ServeRequest(link.state, "..V100");
  link.state.DebugEnabled = false;
  ServeRequest(link.state, "..V100");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"09:05:07 <- received code:",
                                                 "09:05:07 <- received code:V100"}));
}

TEST(Dispatcher, RadioReplyWithItsDebugBlockAfterTheReceivedLine) {
  SimLink link;
  link.peer.Memory().WriteU16(0x311A, 0x2150);
  uint8_t audio = 0x90;
  link.peer.Memory().Write(0x3122, 1, &audio);
  link.peer.Memory().WriteU16(0x3118, 0x1910);
  LogCapture log(link.state);
  link.state.DebugEnabled = true;
  const std::optional<std::string> reply = ServeRequest(link.state, "..RADI\r\n");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->size(), 89u);
  ASSERT_EQ(log.lines.size(), 15u);
  EXPECT_NE(log.lines[0].find(" <- received code:RADI"), std::string::npos);
  EXPECT_EQ(log.lines[1], "- Radio Panel:--------------------");
  EXPECT_EQ(log.lines[6], "- Com1b:" + reply->substr(24, 6));
  // COM2 is logged after COM1 although the line carries it last.
  EXPECT_EQ(log.lines[7], "- Com2a:119.10");
  EXPECT_EQ(reply->substr(73, 7), "119.10:");
  EXPECT_EQ(log.lines[14], "- Audio:" + reply->substr(64, 8));
}

TEST(Dispatcher, CoalescedRequestsActOnTheFirstCodeOnly) {
  SimLink link;
  const auto reply = ServeRequest(link.state, "..RADI..V100");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->size(), 89u);
  EXPECT_EQ(link.ExchangesSinceOpen(), 1u);
}

TEST(Dispatcher, CommandWithoutArgumentsRaisesTheIntegerErrorAndWritesNothing) {
  SimLink link;
  try {
    ServeRequest(link.state, "..COM1");
    FAIL() << "no error";
  } catch (const RequestError& error) {
    EXPECT_STREQ(error.what(), "'$' is not a valid integer value");
    EXPECT_EQ(ErrorDisplayText(error.what()), "'$' is not a valid integer value.");
  }
  EXPECT_EQ(link.ExchangesSinceOpen(), 0u);
  EXPECT_EQ(link.TakeJournal().size(), 0u);
  // Only the active frequency present: the standby parse fails before anything is queued.
  EXPECT_THROW(ServeRequest(link.state, "..COM1 118.25"), RequestError);
  EXPECT_EQ(link.ExchangesSinceOpen(), 0u);
  EXPECT_EQ(ServeRequest(link.state, "..COM1 118.25 121.50"), std::nullopt);
  EXPECT_EQ(link.ExchangesSinceOpen(), 1u);
}

}  // namespace
}  // namespace tavelor
