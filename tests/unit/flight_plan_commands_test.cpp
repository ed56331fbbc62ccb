#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "app/plan_folder.h"
#include "commands/flight_plan_commands.h"
#include "core/request_text.h"
#include "server/dispatch_table.h"
#include "server/request.h"
#include "support/process.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

namespace fs = std::filesystem;
using testing::LogCapture;
using testing::SimLink;

// A real folder standing in for the program's folder, removed afterwards.
class FlightPlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "plan-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    link.state.AppFolder = folder_ + "/";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(folder_, fs::perms::owner_all, ignored);
    fs::remove_all(folder_, ignored);
  }

  std::string PlanPath() const { return folder_ + "/Quindrel.pln"; }
  bool PlanExists() const { return fs::exists(fs::symlink_status(PlanPath())); }
  std::string PlanBytes() const {
    std::ifstream in(PlanPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string ErrorOf(CommandHandler handler, const std::string& request) {
    try {
      testing::Call(handler, link.state, request);
    } catch (const RequestError& e) {
      return e.what();
    }
    return "no error";
  }

  SimLink link;  // the program's folder is the test's own
  std::string folder_;
};

const std::string kBom = "\xEF\xBB\xBF";

TEST_F(FlightPlanTest, ChunkSequencesBuildTheFile) {
  using Step = std::pair<CommandHandler, std::string>;
  const struct {
    const char* name;
    std::vector<Step> steps;
    std::string file;
  } cases[] = {
      {"converted: mark once, degree sign, code page",
       {{PlaxCommand, "PLAX:N47&30'\xE9"}, {PlanCommand, "PLAN:&E8\r\n"}},
       kBom + "N47\xC2\xB0" "30'\xC3\xA9\xC2\xB0" "E8\r\n"},
      {"raw: bytes unchanged, no mark", {{Pla9Command, "PLA9:N47&30'\xE9"}, {Pl99Command, "PL99:&\r\n"}},
       "N47&30'\xE9&\r\n"},
      {"start truncates an earlier plan",
       {{Pla9Command, "PLA9:old old old"}, {Pla9Command, "PLA9:new"}}, "new"},
      {"converted start truncates a raw plan", {{Pla9Command, "PLA9:old old"}, {PlaxCommand, "PLAX:n"}},
       kBom + "n"},
      {"raw append after converted start", {{PlaxCommand, "PLAX:a"}, {Pl99Command, "PL99:&"}}, kBom + "a&"},
      {"empty converted chunk leaves the mark", {{PlaxCommand, "PLAX:"}}, kBom},
      {"empty raw chunk leaves an empty file", {{Pla9Command, "PLA9:x"}, {Pla9Command, "PLA9:"}}, ""},
      {"request of the code alone", {{Pla9Command, "PLA9:x"}, {Pla9Command, "PLA9"}}, ""},
      {"position 5 is not part of the chunk", {{Pla9Command, "PLA9<abc"}}, "abc"},
      {"zero bytes pass through", {{Pla9Command, std::string("PLA9:a\0b", 8)}}, std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const Step& step : c.steps) testing::Call(step.first, link.state, step.second);
    EXPECT_EQ(PlanBytes(), c.file);
  }
}

TEST_F(FlightPlanTest, AChunkIsCutAt995Characters) {
  std::string body;
  for (int i = 0; i < 1200; ++i) body += static_cast<char>('a' + i % 26);
  testing::Call(Pla9Command, link.state, "PLA9:" + body);
  EXPECT_EQ(PlanBytes(), body.substr(0, 995));
  // Through the dispatcher: two ignored bytes, then at most 1000 characters.
  ASSERT_EQ(ServeRequest(link.state, "..PLAX:" + body), std::nullopt);
  EXPECT_EQ(PlanBytes(), kBom + body.substr(0, 995));
  ServeRequest(link.state, "..PLAN:" + body.substr(0, 10));
  ServeRequest(link.state, "..PL99:&");
  EXPECT_EQ(PlanBytes(), kBom + body.substr(0, 995) + body.substr(0, 10) + "&");
}

TEST_F(FlightPlanTest, AppendingWithoutAPlanFailsAndCreatesNothing) {
  EXPECT_EQ(ErrorOf(Pl99Command, "PL99:abc"), "File not found");
  EXPECT_FALSE(PlanExists());
  EXPECT_EQ(ErrorOf(PlanCommand, "PLAN:abc"), "File not found");
  EXPECT_FALSE(PlanExists());
}

TEST_F(FlightPlanTest, FileFailuresCarryTheirRunTimeMessages) {
  // The program's folder itself has gone.
  link.state.AppFolder = folder_ + "/gone/";
  EXPECT_EQ(ErrorOf(Pla9Command, "PLA9:abc"), "File not found");
  link.state.AppFolder = folder_ + "/";

  // A folder where the plan should be: neither start nor append can open it.
  fs::create_directory(PlanPath());
  EXPECT_EQ(ErrorOf(Pla9Command, "PLA9:abc"), "I/O error " + std::to_string(EISDIR));
  EXPECT_EQ(ErrorOf(PlanCommand, "PLAN:abc"), "I/O error " + std::to_string(EISDIR));
  fs::remove(PlanPath());

  // A write the system refuses (here past the file size this process may write, as a full
  // disk would) shows when the buffered bytes are flushed.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const rlimit tiny{2, saved.rlim_max};
  std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  EXPECT_EQ(ErrorOf(Pla9Command, "PLA9:abc"), "I/O error " + std::to_string(EFBIG));
  EXPECT_EQ(ErrorOf(PlaxCommand, "PLAX:"), "I/O error " + std::to_string(EFBIG));  // the mark alone
  setrlimit(RLIMIT_FSIZE, &saved);
}

TEST_F(FlightPlanTest, AReadOnlyPlanIsAccessDenied) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  testing::Call(Pla9Command, link.state, "PLA9:abc");
  fs::permissions(PlanPath(), fs::perms::owner_read);
  EXPECT_EQ(ErrorOf(Pl99Command, "PL99:def"), "File access denied");
  EXPECT_EQ(ErrorOf(Pla9Command, "PLA9:def"), "File access denied");
  fs::permissions(PlanPath(), fs::perms::owner_all);
  EXPECT_EQ(PlanBytes(), "abc");
}

TEST_F(FlightPlanTest, DebugLogsEachChunkAsReceived) {
  LogCapture log(link.state);
  testing::Call(Pla9Command, link.state, "PLA9:quiet");
  EXPECT_TRUE(log.lines.empty());
  link.state.DebugEnabled = true;
  testing::Call(PlaxCommand, link.state, "PLAX:a&b");
  testing::Call(PlanCommand, link.state, "PLAN:\xE9&");
  testing::Call(Pla9Command, link.state, "PLA9:");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"a&b", "\xE9&", ""}));
  // The chunk is logged even when the file then fails.
  log.lines.clear();
  fs::remove(PlanPath());
  EXPECT_EQ(ErrorOf(Pl99Command, "PL99:lost"), "File not found");
  EXPECT_EQ(log.lines, std::vector<std::string>{"lost"});
}

TEST_F(FlightPlanTest, TheStatesCodePageConverterIsUsed) {
  link.state.codePageToUtf8 = [](const std::string& text) { return "<" + text + ">"; };
  testing::Call(PlaxCommand, link.state, "PLAX:a&");
  EXPECT_EQ(PlanBytes(), kBom + "<a\xB0>");
}

class ExecTest : public FlightPlanTest {};

TEST_F(ExecTest, WritesTheZeroFilledPathFieldInOneExchange) {
  const uint64_t before = link.peer.Exchanges();
  testing::Call(ExecCommand, link.state, "EXEC anything here is ignored");
  EXPECT_EQ(link.peer.Exchanges() - before, 1u);
  const std::vector<sim::JournalEntry> got = link.TakeJournal();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(got[0].write);
  EXPECT_EQ(got[0].offset, 0x0130u);
  EXPECT_EQ(got[0].size, 256u);
  std::vector<uint8_t> field(256, 0);
  const std::string path = PlanPath();
  std::copy(path.begin(), path.end(), field.begin());
  EXPECT_EQ(got[0].data, field);
}

TEST_F(ExecTest, APathThatDoesNotFitIsRefusedWithoutWriting) {
  const std::string name = "Quindrel.pln";
  const struct {
    size_t length;
    bool fits;
  } cases[] = {{255, true}, {256, false}, {300, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    link.state.AppFolder = "/" + std::string(c.length - name.size() - 2, 'd') + "/";
    const uint64_t before = link.peer.Exchanges();
    const std::string error = ErrorOf(ExecCommand, "EXEC");
    const std::vector<sim::JournalEntry> got = link.TakeJournal();
    if (c.fits) {
      EXPECT_EQ(error, "no error");
      ASSERT_EQ(got.size(), 1u);
      EXPECT_EQ(got[0].data[254], 'n');
      EXPECT_EQ(got[0].data[255], 0);
    } else {
      EXPECT_EQ(error, "Flight plan path too long for the simulator (" + std::to_string(c.length) +
                           " bytes, at most 255)");
      EXPECT_TRUE(got.empty());
      EXPECT_EQ(link.peer.Exchanges(), before);
    }
  }
}

}  // namespace
}  // namespace tavelor

namespace tavelor {
namespace {

// An installed server names the user's state folder for its plans, and makes it only with the
// first plan: a server that never gets one leaves nothing behind.
TEST(PlanFolder, TheUsersFolderIsMadeByTheFirstPlanOnly) {
  const std::filesystem::path state = std::filesystem::temp_directory_path() / "tavelor-plan-folder-test";
  std::filesystem::remove_all(state);
  ::setenv("XDG_STATE_HOME", state.c_str(), 1);
  const PlanFolderChoice plans = PlanFolder("/usr/bin/");
  ::unsetenv("XDG_STATE_HOME");
  const std::string& folder = plans.folder;
  EXPECT_EQ(folder, (state / "tavelor").string() + "/");
  EXPECT_TRUE(plans.madeByFirstPlan);
  EXPECT_FALSE(std::filesystem::exists(state));
  testing::SimLink link;
  link.state.AppFolder = folder;
  link.state.MakePlanFolder = true;
  ServeRequest(link.state, "xxPLA9 <plan/>");
  EXPECT_EQ(testing::FileBytes(folder + "Quindrel.pln"), "<plan/>");
  std::filesystem::remove_all(state);
}

}  // namespace
}  // namespace tavelor
