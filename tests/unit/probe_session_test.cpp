// tavelor-probe's conversation, against a scripted server and clock: what it writes, what it
// prints and its exit status, for whole, cut and missing answers, commands, bad options and
// polling.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "probe/probe_session.h"

#include "client/panel_client.h"

namespace tavelor::probe {
namespace {

// Each request written gets the next answer queued for it: pieces that arrive one read at a
// time, and whether the server then closes the connection.
struct ScriptedAnswer {
  std::vector<std::string> pieces;
  bool close = false;
};

class ScriptedPlatform;

class ScriptedLink : public ProbeLink {
 public:
  explicit ScriptedLink(ScriptedPlatform* platform) : platform_(platform) {}
  bool Send(const std::string& bytes) override;
  Received Receive(int timeoutMs, std::string* into) override;
  std::string Error() const override { return "scripted failure"; }

 private:
  ScriptedPlatform* platform_;
  std::deque<std::string> pending_;
  bool closed_ = false;
};

class ScriptedPlatform : public ProbePlatform {
 public:
  std::map<std::string, std::deque<ScriptedAnswer>> script;
  int listening = 9696;  // connections to any other port are refused
  bool terminal = false;
  int64_t now = 0;
  std::vector<std::string> writes;

  Connection Connect(const std::string&, int port, int) override {
    Connection connection;
    if (port != listening) {
      connection.refused = true;
      connection.error = "refused";
    } else {
      connection.link = std::make_unique<ScriptedLink>(this);
    }
    return connection;
  }
  void Pause(int ms) override { now += ms; }
  int64_t NowMs() override { return now; }
  bool OutputIsTerminal() override { return terminal; }
};

bool ScriptedLink::Send(const std::string& bytes) {
  platform_->writes.push_back(bytes);
  auto& answers = platform_->script[bytes];
  if (answers.empty()) return true;
  for (const std::string& piece : answers.front().pieces) pending_.push_back(piece);
  closed_ = closed_ || answers.front().close;
  answers.pop_front();
  return true;
}

ProbeLink::Received ScriptedLink::Receive(int timeoutMs, std::string* into) {
  if (!pending_.empty()) {
    into->append(pending_.front());
    pending_.pop_front();
    return Received::kData;
  }
  if (closed_) return Received::kClosed;
  platform_->now += timeoutMs;  // nothing comes: the whole wait passes
  return Received::kTimeout;
}

const std::string kBarrier = client::WireRequest(BarrierQuery().code);
const std::string kRadio =
    " 12.3:  0.0:7000:118.25:121.50:110.90:113.90:111.30:109.00:0345:10010000:119.10:124.85:\r\n";

struct ProbeResult {
  int status;
  std::string out;
  std::string err;
};

ProbeResult RunWith(ScriptedPlatform& platform, const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunProbe(args, platform, out, err);
  return {status, out.str(), err.str()};
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ProbeSession, AnswersCommandsAndFailures) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::map<std::string, std::deque<ScriptedAnswer>> script;
    int status;
    std::vector<std::string> outHas;
    std::vector<std::string> errHas;
    std::vector<std::string> writes;
  } cases[] = {
      {"a reply by its names", {"RADI"}, {{"xxRADI", {{{kRadio}}}}},
       0, {"RADI: 13 fields", " com1          \"118.25\"  MHz", " dme1          \" 12.3\"  nm"}, {}, {"xxRADI"}},
      {"a reply arriving in pieces", {"xxRADI"}, {{"xxRADI", {{{kRadio.substr(0, 30), kRadio.substr(30)}}}}},
       0, {"com2_standby  \"124.85\""}, {}, {"xxRADI"}},
      {"a reply as named values", {"--json", "RADI"}, {{"xxRADI", {{{kRadio}}}}}, 0,
       {"{\"code\":\"RADI\",\"fields\":{\"dme1\":12.3,\"dme2\":0,\"transponder\":\"7000\",\"com1\":118.25,"},
       {}, {"xxRADI"}},
      {"named values with a number that is none", {"--json", "FMS"}, {{"xxFMS", {{{"          Nan:  -3.75:AB\xE9  :\r\n"}}}}},
       1, {"{\"code\":\"FMS\",\"fields\":{\"lat\":null,\"lon\":-3.75,\"gps_id\":\"AB\\u00e9  \"}", "\"unreadable\":[\"lat\"]"},
       {"FMS: not a number where the schema has one (null in \"fields\"): lat"}, {"xxFMS"}},
      {"named values of a line that does not fit", {"--json", "FMS"}, {{"xxFMS", {{{"a:b:c:d:\r\n"}}}}},
       1, {}, {"FMS answered 4 fields, where it has 3"}, {"xxFMS"}},
      {"the schema", {"--schema"}, {}, 0,
       {"{\"number\":1,\"name\":\"dme1\",\"label\":\"Dme1\",\"unit\":\"nm\",\"width\":5,\"numeric\":true,"
        "\"meaning\":\"DME 1 distance\","}, {}, {}},
      {"named values of a command", {"--json", "COM1"}, {}, 2, {}, {"--json shows a panel reply"}, {}},
      {"a version text", {"V177"}, {{"xxV177", {{{"2.02a\r\n"}}}}}, 0, {"V177: 2.02a"}, {}, {"xxV177"}},
      {"raw bytes", {"--raw", "RADI"}, {{"xxRADI", {{{kRadio}}}}}, 0, {kRadio}, {}, {"xxRADI"}},
      {"more fields than the schema", {"FMS"}, {{"xxFMS", {{{"a:b:c:d:\r\n"}}}}},
       0, {"(field 4)", "note: 4 fields, where FMS has 3"}, {}, {"xxFMS"}},
      {"a reply cut by the server closing", {"RADI"}, {{"xxRADI", {{{" 12.3:  0.0:70"}, true}}}},
       1, {}, {"the reply was cut: 14 bytes", "closed the connection", "\" 12.3:  0.0:70\""}, {"xxRADI"}},
      {"a reply cut short", {"RADI"}, {{"xxRADI", {{{" 12.3:"}}}}},
       1, {}, {"the reply was cut: 6 bytes", "nothing more within 5 s"}, {"xxRADI"}},
      {"no answer", {"--timeout", "2", "RADI"}, {}, 1, {}, {"no answer within 2 s"}, {"xxRADI"}},
      {"an unknown code", {"ABCD"}, {{"xxABCD", {{{"noversion\r\n"}}}}},
       1, {}, {"answered noversion: it has no code 'ABCD'"}, {"xxABCD"}},
      {"a three-letter code with a tail", {"HSI", ""}, {{"xxHSI ", {{{"noversion\r\n"}}}}},
       1, {}, {"match only with nothing after them"}, {"xxHSI "}},
      {"a command, then the barrier", {"COM1", "118.50", "121.50"}, {{kBarrier, {{{"2.01b\r\n"}}}}},
       0, {"COM1: sent and taken; a command answers nothing"}, {}, {"xxCOM1 118.50 121.50", kBarrier}},
      {"a command the server could not read, not sent", {"COM1", "118"}, {},
       2, {}, {"COM1 not sent: columns 16-17 and 19-20", "'$' is not a valid integer value."}, {}},
      {"a command whose barrier is not answered", {"EBAT", "1"}, {},
       1, {}, {"EBAT was sent, but the version query", "no answer within 5 s"}, {"xxEBAT 1", kBarrier}},
      {"a command the server closes on", {"EBAT", "1"}, {{"xxEBAT 1", {{{}, true}}}},
       1, {}, {"closed the connection without answering"}, {"xxEBAT 1"}},
      {"a flight plan chunk, no barrier after it", {"PLA9", "<plan>"}, {},
       0, {"PLA9: command sent"}, {}, {"xxPLA9 <plan>"}},
      {"nothing listens", {"--port", "9700", "RADI"}, {}, 1, {}, {"nothing listens on 127.0.0.1:9700"}, {}},
      {"bad options", {"--port", "0", "RADI"}, {}, 2, {}, {"--port needs", "--help"}, {}},
      {"no request", {"--port", "9696"}, {}, 2, {}, {"no request given"}, {}},
      {"watching a command", {"--watch", "5", "COM1"}, {}, 2, {}, {"--watch polls a panel reply"}, {}},
      {"a count without watching", {"--count", "3", "RADI"}, {}, 2, {}, {"--count goes with --watch"}, {}},
      {"an unknown option", {"--verbose", "RADI"}, {}, 2, {}, {"unknown option '--verbose'"}, {}},
      {"help", {"RADI", "--help"}, {}, 0, {"Usage: tavelor-probe"}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPlatform platform;
    platform.script = c.script;
    const ProbeResult run = RunWith(platform, c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    for (const std::string& part : c.outHas) EXPECT_TRUE(Has(run.out, part)) << run.out;
    for (const std::string& part : c.errHas) EXPECT_TRUE(Has(run.err, part)) << run.err;
    if (c.outHas.empty() && c.status != 0) {
      EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(platform.writes, c.writes);
  }
}

TEST(ProbeSession, WatchMarksTheFieldsThatChanged) {
  std::string changed = kRadio;
  changed.replace(changed.find("118.25"), 6, "119.00");
  const struct {
    bool terminal;
    std::vector<int> pollsShown;
  } cases[] = {
      {false, {1, 3}},     // a pipe gets a table when something changed
      {true, {1, 2, 3}},   // a terminal is redrawn every poll
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.terminal ? "terminal" : "pipe");
    ScriptedPlatform platform;
    platform.terminal = c.terminal;
    platform.script["xxRADI"] = {{{kRadio}}, {{kRadio}}, {{changed}}};
    const ProbeResult run = RunWith(platform, {"--watch", "10", "--count", "3", "RADI"});
    EXPECT_EQ(run.status, 0) << run.err;
    for (int poll = 1; poll <= 3; ++poll) {
      const bool shown = Has(run.out, "RADI  poll " + std::to_string(poll) + " ");
      EXPECT_EQ(shown, std::count(c.pollsShown.begin(), c.pollsShown.end(), poll) == 1) << poll;
    }
    EXPECT_TRUE(Has(run.out, "1 changed\n"));
    EXPECT_TRUE(Has(run.out, "*  4  com1          \"119.00\"  MHz")) << run.out;
    EXPECT_FALSE(Has(run.out, "*  5")) << "an unchanged field marked";
    EXPECT_EQ(Has(run.out, "\x1b[H"), c.terminal);
    EXPECT_EQ(platform.writes.size(), 3u);
    EXPECT_GE(platform.now, 200) << "three polls at 10 a second span two periods";
  }
}

TEST(ProbeSession, WatchStopsWhenTheServerStopsAnswering) {
  ScriptedPlatform platform;
  platform.script["xxRADI"] = {{{kRadio}}};
  const ProbeResult run = RunWith(platform, {"--watch", "2", "RADI"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.err, "no answer within")) << run.err;
  EXPECT_EQ(platform.writes.size(), 2u);
}

}  // namespace
}  // namespace tavelor::probe
