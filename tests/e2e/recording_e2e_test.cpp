// A flight recorded by the server and replayed by the stand-in: every reply again at its
// moment, a file that survives the server's crash and a full disk, and a panel's command taken
// during a replay.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "support/recordings.h"

namespace tavelor::e2e {
namespace {

using End = recording::RecordingReader::End;
using testing::ReadBack;
using testing::ReadRecording;

const std::string kShipped = std::string(TAVELOR_SOURCE_DIR) + "/recordings/circuit-approach.tvr";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Polls of four panels in turn, each one exchange, as the flying stand-in is recorded.
const char* const kCodes[] = {"HSI", "RADI", "PFDP", "MAPS"};

std::vector<std::string> Poll(Client& client, int count) {
  std::vector<std::string> replies;
  for (int i = 0; i < count; ++i) {
    replies.push_back(client.Ask(std::string("xx") + kCodes[i % 4]));
    std::this_thread::sleep_for(milliseconds(15));
  }
  return replies;
}

TEST(RecordingEndToEnd, EveryReplyARecordingsClientGotComesBackAtItsMomentOfTheReplay) {
  IpcFolder files;
  const std::string file = files.Path() + "/flight.tvr";
  constexpr int kPolls = 80;
  std::vector<std::string> recorded;
  {
    Stack stack;
    stack.StartSim({"--fly"});
    ASSERT_EQ(stack.control.Command("fly at 880"), "OK");  // the glideslope and the outer marker
    stack.StartServer({"--record", file});
    ASSERT_TRUE(stack.server.WaitForLine("- Recording to " + file));
    ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
    Client client = stack.Connect();
    recorded = Poll(client, kPolls);
    stack.server.Signal(SIGTERM);
    EXPECT_EQ(stack.server.Wait(), 0);
  }
  const ReadBack back = ReadRecording(ReadFile(file));
  ASSERT_EQ(back.error, "");
  ASSERT_EQ(back.exchanges.size(), static_cast<size_t>(kPolls)) << "one exchange a request";
  EXPECT_EQ(back.end, End::kComplete) << back.problem;

  Stack stack;
  stack.StartSim({"--replay", file});
  ASSERT_EQ(stack.control.Command("replay pause"), "OK");
  stack.StartServer();
  ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
  Client client = stack.Connect();
  int moved = 0;
  for (int i = 0; i < kPolls; ++i) {
    char at[32];
    std::snprintf(at, sizeof at, "replay at %.3f", static_cast<double>(back.exchanges[i].ms) / 1000);
    ASSERT_EQ(stack.control.Command(at), "OK");
    EXPECT_EQ(client.Ask(std::string("xx") + kCodes[i % 4]), recorded[i]) << "poll " << i << ", " << at;
    moved += i >= 4 && recorded[i] != recorded[i - 4];
  }
  EXPECT_GT(moved, kPolls / 8) << "the recording hardly moved: the test shows little";
}

TEST(RecordingEndToEnd, AServerKilledWhileRecordingLeavesAReadableFile) {
  IpcFolder files;
  const std::string file = files.Path() + "/flight.tvr";
  Stack stack;
  stack.StartSim({"--fly"});
  stack.StartServer({"--record", file});
  ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
  Client client = stack.Connect();
  const size_t polls = Poll(client, 40).size();
  stack.server.Kill();
  const ReadBack back = ReadRecording(ReadFile(file));
  ASSERT_EQ(back.error, "");
  EXPECT_GE(back.exchanges.size(), polls - 1) << "at most the exchange under way is lost";
  EXPECT_NE(back.end, End::kDamaged) << back.problem;
}

TEST(RecordingEndToEnd, AFullDiskStopsTheRecordingWithOneLineAndTheServerServesOn) {
  IpcFolder files;
  const std::string file = files.Path() + "/flight.tvr";
  Stack stack;
  stack.StartSim({"--fly"});
  // A file-size limit stands in for the disk that fills: 64 blocks of 512 bytes, as the shell
  // counts them, just what the link's memory block needs.
  stack.server.Start({"/bin/sh", "-c", "ulimit -f 64 && exec \"$@\"", "sh", TAVELOR_SERVER_BIN, "--connect-now",
                      "--bind", "127.0.0.1", "--port", std::to_string(stack.serverPort), "--record", file},
                     {stack.ipc.Env()});
  ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
  Client client = stack.Connect();
  // A jump along the circuit before each poll: every value changes, and the file grows fast.
  const std::string stopped = "- Error: Recording stopped: " + file + " cannot be written (File too large)";
  for (int i = 0; i < 1000 && stack.server.CountLines(stopped) == 0; ++i) {
    ASSERT_EQ(stack.control.Command("fly at " + std::to_string(i * 7 % 1199)), "OK");
    ASSERT_GT(client.Ask(std::string("xx") + kCodes[i % 4]).size(), 40u) << "poll " << i;
  }
  EXPECT_TRUE(stack.server.WaitForLine(stopped));
  for (const std::string& reply : Poll(client, 20)) EXPECT_GT(reply.size(), 40u);
  EXPECT_EQ(stack.server.CountLines("- Error:"), 1);
  EXPECT_EQ(client.Ask("xxV177"), "2.02a\r\n");
  const ReadBack back = ReadRecording(ReadFile(file));
  EXPECT_EQ(back.error, "");
  EXPECT_GT(back.exchanges.size(), 10u);
  EXPECT_LE(ReadFile(file).size(), 64u * 1024);
}

TEST(RecordingEndToEnd, APanelsCommandDuringAReplayShowsInTheJournalAndTheNextReply) {
  Stack stack;
  stack.StartServer({"--sim", "--sim-control", std::to_string(stack.controlPort), "--replay", kShipped});
  ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
  ASSERT_TRUE(stack.control.Connect(stack.controlPort));
  Client client = stack.Connect();
  ASSERT_EQ(stack.control.Command("replay at 30"), "OK");
  stack.control.Journal();
  client.Send("xxCOM1 119.30 121.50");
  std::vector<std::string> journal;
  for (const std::string& line : stack.control.JournalOf(2)) journal.push_back(RecordOf(line));
  EXPECT_EQ(journal, (std::vector<std::string>{"W 034E 2 3019", "W 311A 2 5021"}));
  EXPECT_EQ(client.Ask("xxRADI").substr(17, 7), "119.30:");
  // The recording's COM1 stays as it was: the command holds as the replay plays on.
  ASSERT_EQ(stack.control.Command("replay at 90"), "OK");
  EXPECT_EQ(client.Ask("xxRADI").substr(17, 7), "119.30:");
  // Going back rebuilds the recording's moment.
  ASSERT_EQ(stack.control.Command("replay at 10"), "OK");
  EXPECT_NE(client.Ask("xxRADI").substr(17, 7), "119.30:");
}

TEST(RecordingEndToEnd, WhatCannotBeRecordedOrReplayedStopsTheProgramAtStart) {
  IpcFolder files;
  const std::string existing = files.Path() + "/yesterday.tvr";
  std::ofstream(existing) << "a flight";
  const struct {
    std::vector<std::string> argv;
    const char* says;
  } runs[] = {
      {{TAVELOR_SERVER_BIN, "--record", existing},
       "cannot record to {F}/yesterday.tvr: the file exists already (a recording is never written over)"},
      {{TAVELOR_SERVER_BIN, "--record", files.Path() + "/no/such/folder/a.tvr"}, "cannot record to {F}/no/such/folder/a.tvr"},
      {{TAVELOR_SIM_BIN, "--control", "0", "--replay", files.Path() + "/missing.tvr"},
       "tavelor-sim: cannot open the recording {F}/missing.tvr"},
      {{TAVELOR_SERVER_BIN, "--sim", "--sim-control", "0", "--replay", existing},
       "the stand-in simulator cannot start: {F}/yesterday.tvr: not a recording"},
  };
  for (const auto& run : runs) {
    std::string says = run.says;
    says.replace(says.find("{F}"), 3, files.Path());
    const std::string errors = files.Path() + "/errors";
    std::remove(errors.c_str());
    Process program;
    program.Start(run.argv, {"TAVELOR_IPC_DIR=" + files.Path() + "/ipc"}, errors);
    EXPECT_EQ(program.Wait(), 1) << says;
    EXPECT_NE(ReadFile(errors).find(says), std::string::npos) << ReadFile(errors);
  }
  EXPECT_EQ(ReadFile(existing), "a flight");
}

}  // namespace
}  // namespace tavelor::e2e
