// The panel client's conversation, against a transport that only notes what it is asked: one
// write per request, the pause and the version query after a command, none after a flight plan
// chunk, an unknown code told apart, a line too long refused, and every job failed when the
// connection is lost.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/panel_client.h"

namespace tavelor::client {
namespace {

struct NotingTransport : PanelTransport {
  std::vector<std::string> writes;
  int quiets = 0;
  void Write(std::string bytes) override { writes.push_back(std::move(bytes)); }
  void StartQuiet(std::chrono::milliseconds) override { ++quiets; }
};

TEST(PanelClient, EachKindOfRequestEndsAsTheServerAnswersIt) {
  const std::string barrier = WireRequest(BarrierQuery().code);
  const struct {
    const char* request;
    std::vector<std::string> answers;  // lines, in the pieces they arrive in; "|" is the pause
    std::vector<std::string> writes;
    const char* line;
    const char* error;
  } cases[] = {
      {"RADI", {" 12.3:", "7000:\r\n"}, {"xxRADI"}, " 12.3:7000:", ""},
      {"V177", {"2.02a\r\n"}, {"xxV177"}, "2.02a", ""},
      {"ZZZZ", {"noversion\r\n"}, {"xxZZZZ"}, "noversion", "the panel server has no code ZZZZ"},
      {"EBAT 1", {"|", "2.01b\r\n"}, {"xxEBAT 1", barrier}, "", ""},
      {"EBAT 1", {"noversion\r\n", "|", "2.01b\r\n"}, {"xxEBAT 1", barrier}, "noversion",
       "the panel server has no code EBAT"},
      {"PLA9 <plan>", {"|"}, {"xxPLA9 <plan>"}, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    NotingTransport transport;
    PanelClient client(transport);
    std::vector<PanelResult> results;
    client.Send(c.request, [&](const PanelResult& r) { results.push_back(r); });
    EXPECT_TRUE(transport.writes.empty()) << "written before the connection was up";
    client.Connected();
    for (const std::string& answer : c.answers) {
      if (answer == "|") {
        client.QuietOver();
      } else {
        EXPECT_TRUE(client.Received(answer));
      }
    }
    EXPECT_EQ(transport.writes, c.writes);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].line, c.line);
    EXPECT_EQ(results[0].error, c.error);
    EXPECT_FALSE(client.Busy());
  }
}

TEST(PanelClient, ALostConnectionFailsEveryJobAndATooLongAnswerIsRefused) {
  NotingTransport transport;
  PanelClient client(transport);
  client.Connected();
  std::vector<std::string> errors;
  for (const char* code : {"RADI", "HSI"}) client.Send(code, [&](const PanelResult& r) { errors.push_back(r.error); });
  EXPECT_EQ(transport.writes.size(), 1u);  // the second waits for the first's answer
  EXPECT_FALSE(client.Received(std::string(kLongestAnswer + 1, 'x')));
  client.Lost("gone");
  EXPECT_EQ(errors, (std::vector<std::string>{"gone", "gone"}));
  EXPECT_EQ(client.Waiting(), 0u);
}

}  // namespace
}  // namespace tavelor::client
