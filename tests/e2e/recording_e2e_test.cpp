// A flight recorded by the server and replayed by the stand-in: every reply again at its
// moment, a file that survives the server's crash and a full disk, and a panel's command taken
// during a replay.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "harness.h"
#include "support/recordings.h"

namespace tavelor::e2e {
namespace {

using End = recording::RecordingReader::End;
using testing::FileBytes;
using testing::Poll;
using testing::ReadBack;
using testing::ReadRecording;

const std::string kShipped = std::string(TAVELOR_SOURCE_DIR) + "/recordings/circuit-approach.tvr";
// Four panels polled in turn as the flying stand-in is recorded.
const std::vector<std::string> kCodes = {"xxHSI", "xxRADI", "xxPFDP", "xxMAPS"};

TEST(RecordingEndToEnd, EveryReplyARecordingsClientGotComesBackAtItsMomentOfTheReplay) {
  Stack stack;
  const std::string file = stack.ipc.Path() + "/flight.tvr";
  stack.StartSim({"--fly"});
  ASSERT_EQ(stack.control.Command("fly at 880"), "OK");  // the glideslope and the outer marker
  stack.StartServer({"--record", file});
  ASSERT_TRUE(stack.server.WaitForLine("- Recording to " + file));
  ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
  Client client = stack.Connect();
  const std::vector<std::string> recorded = Poll(client, kCodes, 80, milliseconds(15));
  stack.server.Signal(SIGTERM);
  EXPECT_EQ(stack.server.Wait(), 0);
  const ReadBack back = ReadRecording(FileBytes(file));
  ASSERT_EQ(back.exchanges.size(), recorded.size()) << "one exchange a request; " << back.error;
  EXPECT_EQ(back.end, End::kComplete) << back.problem;

  stack.StartSim({"--replay", file});  // in the flying one's place
  ASSERT_EQ(stack.control.Command("replay pause"), "OK");
  stack.StartServer();
  ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
  Client panel = stack.Connect();
  EXPECT_EQ(testing::PollReplay(stack.control, panel, kCodes, back.exchanges), recorded);
  int moved = 0;
  for (size_t i = 4; i < recorded.size(); ++i) moved += recorded[i] != recorded[i - 4];
  EXPECT_GT(moved, 10) << "the recording hardly moved: the test shows little";
}

TEST(RecordingEndToEnd, AServerKilledWhileRecordingLeavesAReadableFile) {
  Stack stack;
  const std::string file = stack.ipc.Path() + "/flight.tvr";
  stack.StartSim({"--fly"});
  stack.StartServer({"--record", file});
  ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
  Client client = stack.Connect();
  const size_t polls = Poll(client, kCodes, 40, milliseconds(15)).size();
  stack.server.Kill();
  const ReadBack back = ReadRecording(FileBytes(file));
  EXPECT_GE(back.exchanges.size(), polls - 1) << "at most the exchange under way is lost; " << back.error;
  EXPECT_NE(back.end, End::kDamaged) << back.problem;
}

TEST(RecordingEndToEnd, AFullDiskStopsTheRecordingWithOneLineAndTheServerServesOn) {
  Stack stack;
  const std::string file = stack.ipc.Path() + "/flight.tvr";
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
    ASSERT_GT(client.Ask(kCodes[i % 4]).size(), 40u) << "poll " << i;
  }
  EXPECT_TRUE(stack.server.WaitForLine(stopped));
  for (const std::string& reply : Poll(client, kCodes, 20, milliseconds(15))) EXPECT_GT(reply.size(), 40u);
  EXPECT_EQ(stack.server.CountLines("- Error:"), 1);
  EXPECT_EQ(client.Ask("xxV177"), "2.02a\r\n");
  EXPECT_GT(ReadRecording(FileBytes(file)).exchanges.size(), 10u);
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

}  // namespace
}  // namespace tavelor::e2e
