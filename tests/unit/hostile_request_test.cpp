// What a hostile client's requests can no longer do: forge or garble log lines, switch off
// autopilot holds through a refused exchange, fill the disk with flight plan chunks, or write
// through a plan file that is a link to another file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "commands/flight_plan_commands.h"
#include "server/connections.h"
#include "simlink/offsets.h"
#include "support/process.h"
#include "support/scripted_loop.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

namespace fs = std::filesystem;
using testing::LogCapture;
using testing::Poke;
using testing::ScriptedLoop;
using testing::SimLink;
using Lines = std::vector<std::string>;

// Requests served as the server serves them, against the stand-in, with the program's folder
// in a scratch folder of its own.
class HostileRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "hostile-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    link.state.AppFolder = folder_ + "/";
    link.state.clock = [] { return TimeOfDay{23, 59, 1}; };
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // The log lines one received text adds.
  Lines Serve(const std::string& received) {
    LogCapture log(link.state);
    connections_.Received(1, received);
    return log.lines;
  }

  std::string PlanPath() const { return folder_ + "/Quindrel.pln"; }
  std::string PlanBytes() const { return testing::FileBytes(PlanPath()); }

  SimLink link;
  std::string folder_;

 private:
  ScriptedLoop loop_;
  Connections connections_{&loop_, link.state};
};

TEST_F(HostileRequestTest, ControlBytesFromClientsAreEscapedInTheLog) {
  const struct {
    const char* name;
    std::string received;
    bool debug;
    Lines logged;
  } cases[] = {
      {"a CR LF in an argument cannot start a forged line",
       "..APAL 1\r\n- Fsuipc Disconnected", false,
       {"- Error: '1\\x0D\\x0A- ' is not a valid integer value."}},
      {"zero and low bytes in an argument", std::string("..APHD\0\x01\x02", 9), false,
       {"- Error: '\\x01\\x02' is not a valid integer value."}},
      {"an escape sequence as the request code", "..\x1B[2J", true, {"23:59:01 <- received code:\\x1B[2J"}},
      {"a plan chunk with debug on: DEL escaped, high bytes kept",
       "..PLA9 \x1B]0;owned\x07ok\x7F\xE9", true,
       {"23:59:01 <- received code:PLA9", "\\x1B]0;owned\\x07ok\\x7F\xE9"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    link.state.DebugEnabled = c.debug;
    EXPECT_EQ(Serve(c.received), c.logged);
  }
  // The plan file itself keeps the bytes as sent.
  EXPECT_EQ(PlanBytes(), "\x1B]0;owned\x07ok\x7F\xE9");
}

TEST_F(HostileRequestTest, AltitudeHoldWritesNothingWhenItsReadIsRefused) {
  Poke(link.peer.Memory(), offsets::kApGlideslopeHold, 1);
  Poke(link.peer.Memory(), offsets::kApLocaliserHold, 1);
  Poke(link.peer.Memory(), offsets::kApBackCourseHold, 1);
  bool quit = false;
  link.peer.Control("fail 1", &quit);

  EXPECT_EQ(Serve("..APAA 1"), Lines{"- Error: Altitude hold not changed: the localiser and "
                                     "back-course holds could not be read (IPC request contains "
                                     "bad data)"});
  for (const sim::JournalEntry& e : link.TakeJournal()) EXPECT_FALSE(e.write) << e.offset;
  uint8_t holds[12];
  link.peer.Memory().Read(offsets::kApGlideslopeHold.address, sizeof holds, holds);
  EXPECT_EQ(std::vector<uint8_t>(holds, holds + 12),
            (std::vector<uint8_t>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
}

TEST_F(HostileRequestTest, APlanChunkThatWouldPassOneMebibyteIsRefusedAndTheFileKept) {
  const std::string raw(995, 'a');
  const std::string high(995, '\x80');  // each becomes three bytes of UTF-8
  const struct {
    const char* name;
    std::string request;
    size_t before;  // bytes in the file already
    bool stored;
  } cases[] = {
      {"raw chunk ending exactly at the bound", "..PL99 " + raw, kMaxPlanFile - 995, true},
      {"raw chunk one byte past", "..PL99 " + raw, kMaxPlanFile - 994, false},
      {"converted chunk counted after conversion", "..PLAN " + high, kMaxPlanFile - 2985, true},
      {"converted chunk one byte past", "..PLAN " + high, kMaxPlanFile - 2984, false},
      {"an empty chunk on a full file", "..PL99 ", kMaxPlanFile, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string earlier(c.before, 'p');
    std::ofstream(PlanPath(), std::ios::binary | std::ios::trunc) << earlier;
    const Lines logged = Serve(c.request);
    if (c.stored) {
      EXPECT_TRUE(logged.empty());
      EXPECT_EQ(PlanBytes().size(), kMaxPlanFile);
    } else {
      EXPECT_EQ(logged, Lines{"- Error: Flight plan chunk refused: the plan file would pass "
                              "1048576 bytes."});
      EXPECT_TRUE(PlanBytes() == earlier);
    }
  }
}

// Whoever can write to the program's folder can put something else under the plan file's
// name: every chunk command then changes nothing outside it, never hangs, and says why.
TEST_F(HostileRequestTest, APlanFileThatIsNotAPlainFileIsRefused) {
  const std::string victim = folder_ + "/victim";
  std::ofstream(victim) << "precious";
  enum Kind { kSymbolicLink, kHardLink, kPipe };
  const std::string refused = "- Error: Flight plan chunk refused: the plan file is ";
  const char* const why[] = {"a symbolic link", "a hard link to another file", "not a regular file"};
  const std::pair<std::string, Kind> cases[] = {
      {"..PLA9 a", kSymbolicLink}, {"..PL99 a", kSymbolicLink}, {"..PLAX a", kSymbolicLink},
      {"..PLAN a", kSymbolicLink}, {"..PLA9 HELLO", kHardLink}, {"..PLAX a", kHardLink}, {"..PLA9 a", kPipe}};
  for (const auto& [request, kind] : cases) {
    SCOPED_TRACE(request + ": " + why[kind]);
    fs::remove(PlanPath());
    if (kind == kSymbolicLink) fs::create_symlink(victim, PlanPath());
    if (kind == kHardLink) fs::create_hard_link(victim, PlanPath());
    if (kind == kPipe) mkfifo(PlanPath().c_str(), 0600);
    const int reader = kind == kPipe ? open(PlanPath().c_str(), O_RDONLY | O_NONBLOCK) : -1;
    EXPECT_EQ(Serve(request), Lines{refused + why[kind] + "."});
    if (reader >= 0) close(reader);
  }
  EXPECT_EQ(testing::FileBytes(victim), "precious") << "the linked file is left as it was";
}

}  // namespace
}  // namespace tavelor
