// tavelor-mqtt's decisions without a broker: what an answer publishes, what a command topic
// sends or refuses, and what its command line takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mqtt/mqtt_messages.h"
#include "mqtt/mqtt_options.h"
#include "replies/reply_schema.h"

namespace tavelor::mqtt {
namespace {

constexpr const char* kRadi = " 11.0:  0.0:7000:121.70:118.25:113.90:110.90:109.00:111.30:0345:10010000:127.60:124.85:";

std::string Radi(const std::string& com1, const std::string& dme1 = " 11.0") {
  std::string line = kRadi;
  line.replace(0, 5, dme1);
  return line.replace(line.find("121.70"), 6, com1);
}

std::vector<std::string> Topics(const std::vector<Message>& messages) {
  std::vector<std::string> topics;
  for (const Message& m : messages) topics.push_back(m.topic + "=" + (m.topic == "t/RADI" ? "json" : m.payload));
  return topics;
}

TEST(MqttValues, OnlyWhatMovedPastItsDeadbandGoesOut) {
  ValueTopics values("t", {{"RADI", "dme1", 0.5}});
  const ReplySchema& radi = *FindReplySchema("RADI");
  const std::vector<Message> first = values.Take(radi, kRadi);
  ASSERT_EQ(first.size(), radi.fields.size() + 1);  // every field, then the reply
  EXPECT_EQ(Topics(first)[3], "t/RADI/com1=121.7");
  EXPECT_EQ(Topics(first)[2], "t/RADI/transponder=7000");
  for (const Message& m : first) EXPECT_TRUE(m.retain) << m.topic;
  const struct {
    std::string line;
    std::vector<std::string> published;
  } steps[] = {
      {kRadi, {}},                                                  // nothing changed
      {Radi("118.50"), {"t/RADI/com1=118.5", "t/RADI=json"}},       // a change
      {Radi("118.50", " 11.4"), {}},                                 // within dme1's deadband of 0.5
      {Radi("118.50", " 11.5"), {"t/RADI/dme1=11.5", "t/RADI=json"}},  // 0.5 from the last published 11
      {Radi("118.50", " 11.1"), {}},
      {Radi("11A.50", " 11.1"), {"t/RADI/com1=null", "t/RADI=json"}},   // no number: null
      {"11.0:7000:", {}},                                            // not a RADI line
  };
  for (const auto& step : steps) EXPECT_EQ(Topics(values.Take(radi, step.line)), step.published) << step.line;
  values.Forget();
  EXPECT_EQ(values.Take(radi, kRadi).size(), radi.fields.size() + 1);
}

TEST(MqttCommands, SentOrRefusedWithTheReason) {
  const struct {
    const char* topic;
    std::string payload;
    bool readOnly;
    const char* request;  // what is sent, or the refusal's start
    const char* refusal;  // a part of the refusal; "" when it goes
  } cases[] = {
      {"t/command/COM1", "118.50 121.50", false, "COM1 118.50 121.50", ""},
      {"t/command", "xxTRA0 1234", false, "TRA0 1234", ""},
      {"t/command/EBAT", "0", false, "EBAT 0", ""},
      {"t/command/COM1", "118.50 121.50", true, "COM1 118.50 121.50", "--read-only"},
      {"t/command/COM1", "1G8.50 121.50", false, "COM1 1G8.50 121.50", "columns 9-10 and 12-13"},
      {"t/command/COM1", "118.50", false, "COM1 118.50", "the standby frequency's digits, missing"},
      {"t/command/ZZZZ", "1", false, "ZZZZ 1", "unknown command ZZZZ; the commands are COM1, CO11"},
      {"t/command/RADI", "", false, "RADI", "its values are on t/RADI"},
      {"t/command", "V100", false, "V100", "a version query"},
      {"t/command/PLAN", "KSFO", false, "PLAN KSFO", "flight plan chunks"},
      {"t/command/COM1", "118.50\r\n121.50", false, "COM1 118.50\r\n121.50", "printable ASCII"},
      {"t/command/TRA0", std::string(70, '1'), false, "TRA0 1111", "3 to 64 characters"},
      {"t/command/a/b", "1", false, "t/command/a/b", "no such topic"},  // a code is one level
      {"other/command/EBAT", "1", false, "other/command/EBAT", "no such topic"},
  };
  for (const auto& c : cases) {
    const CommandMessage command = ReadCommandMessage("t", c.topic, c.payload, c.readOnly);
    EXPECT_EQ(command.request.substr(0, std::string(c.request).size()), c.request) << c.topic << " " << c.payload;
    if (*c.refusal) {
      EXPECT_NE(command.refusal.find(c.refusal), std::string::npos) << command.refusal;
    } else {
      EXPECT_EQ(command.refusal, "") << c.topic;
    }
  }
  EXPECT_EQ(AckMessage("t", ReadCommandMessage("t", "t/command/EBAT", "1", false)).topic, "t/ack/EBAT");
  const Message error = ErrorMessage("t", "COM1 \x1b[31m" + std::string(200, 'x'), "why");
  EXPECT_EQ(error.payload.substr(0, 14), "COM1 \\x1B[31mx");
  EXPECT_EQ(error.payload.substr(error.payload.size() - 9), "x...: why");
  EXPECT_FALSE(error.retain);
}

TEST(MqttOptions, TakenOrRefusedAsAUserTypesThem) {
  const struct {
    std::vector<std::string> args;
    int status;  // -1: runs
    std::string check;
  } cases[] = {
      {{}, -1, "127.0.0.1:1883 RADI,FGP,DTPA,C172 10"},
      {{"--broker", "pi.lan", "--cafile", "/dev/null"}, -1, "pi.lan:8883 RADI,FGP,DTPA,C172 10"},
      {{"--broker", "pi.lan:1884", "--cafile", "/dev/null"}, -1, "pi.lan:1884 RADI,FGP,DTPA,C172 10"},
      {{"--follow", "HSI,PFD,HSI", "--hz", "2", "--deadband", "PFD.alt=10"}, -1, "127.0.0.1:1883 HSI,PFD 2"},
      {{"--follow", "all"}, -1, "127.0.0.1:1883 DTPA,MAPS,RADI,HSI,PFD,FGP,FMS,C172,C177,XRAD,PMAP,PFDP 10"},
      {{"--follow", "RADI,NOPE"}, 2, ""},
      {{"--follow", "COM1"}, 2, ""},
      {{"--hz", "50"}, 2, ""},
      {{"--deadband", "RADI.transponder=1"}, 2, ""},  // a text
      {{"--deadband", "RADI.com1=0"}, 2, ""},
      {{"--deadband", "PFD.alt=10"}, 2, ""},           // not followed
      {{"--prefix", "sim/#"}, 2, ""},
      {{"--prefix", "/sim"}, 2, ""},
      {{"--cafile", "/no/such/file"}, 2, ""},
  };
  for (const auto& c : cases) {
    std::vector<char*> argv = {const_cast<char*>("tavelor-mqtt")};
    for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
    MqttOptions options;
    testing::internal::CaptureStderr();
    const int status = ParseMqttOptions(static_cast<int>(argv.size()), argv.data(), &options);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, c.status) << c.args.size();
    if (status != -1) continue;
    std::string follow;
    for (const std::string& code : options.follow) follow += (follow.empty() ? "" : ",") + code;
    char hz[16];
    std::snprintf(hz, sizeof hz, "%g", options.hz);
    EXPECT_EQ(options.brokerHost + ":" + std::to_string(options.brokerPort) + " " + follow + " " + hz, c.check);
  }
}

TEST(MqttDiscovery, EachFieldASensorWithItsUnitAndTopics) {
  MqttOptions options;
  options.prefix = "sim/one";
  options.follow = {"RADI"};
  const std::vector<Message> messages = DiscoveryMessages(options);
  ASSERT_EQ(messages.size(), FindReplySchema("RADI")->fields.size());
  EXPECT_EQ(messages[3].topic, "homeassistant/sensor/sim_one/RADI_com1/config");
  for (const char* part : {"\"state_topic\":\"sim/one/RADI/com1\"", "\"unit_of_measurement\":\"MHz\"",
                           "\"availability_topic\":\"sim/one/status\"", "\"unique_id\":\"sim_one_RADI_com1\""}) {
    EXPECT_NE(messages[3].payload.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(messages[2].payload.find("unit_of_measurement"), std::string::npos);  // the transponder: a text
  EXPECT_TRUE(messages[3].retain);
}

}  // namespace
}  // namespace tavelor::mqtt
