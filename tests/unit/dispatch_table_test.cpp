// The dispatch table as the dispatcher uses it: every code once, each with one action, and a
// request for the code reaching exactly that action.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "core/globals.h"
#include "server/dispatch_table.h"
#include "server/request.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

TEST(DispatchTable, EveryCodeIsUniqueAndHasOneAction) {
  std::set<std::string> seen;
  for (const DispatchEntry& entry : DispatchTable()) {
    const std::string code = entry.code;
    SCOPED_TRACE(code);
    EXPECT_TRUE(seen.insert(code).second) << "listed twice";
    const bool threeLetters = code == "HSI" || code == "PFD" || code == "FGP" || code == "FMS";
    EXPECT_EQ(code.size(), threeLetters ? 3u : 4u);
    EXPECT_EQ((entry.command != nullptr) + (entry.reply != nullptr) + (entry.versionText != nullptr), 1);
  }
}

TEST(DispatchTable, EachCodeReachesItsOwnAction) {
  testing::SimLink link;
  const int savedPfd = PfdRefreshCount, savedFgp = FgpRefreshCount;
  // The flight plan commands write their file beside the program: here, in a folder of its own.
  const std::string savedFolder = AppFolder;
  const auto folder = std::filesystem::temp_directory_path() / "tavelor-dispatch-test";
  std::filesystem::create_directories(folder);
  AppFolder = folder.string() + "/";
  for (const DispatchEntry& entry : DispatchTable()) {
    const std::string code = entry.code;
    SCOPED_TRACE(code);
    std::optional<std::string> answer;
    bool failed = false;
    try {
      answer = ServeRequest("xx" + code);
    } catch (const RequestError&) {
      failed = true;  // a command without its arguments
    }
    if (entry.command) {
      EXPECT_FALSE(answer.has_value());
    } else if (entry.reply) {
      ASSERT_FALSE(failed);
      ASSERT_TRUE(answer.has_value());
      EXPECT_EQ(*answer, entry.reply());  // the same memory gives the same line
    } else {
      EXPECT_EQ(answer, std::string(entry.versionText) + "\r\n");
    }
  }
  PfdRefreshCount = savedPfd;
  FgpRefreshCount = savedFgp;
  AppFolder = savedFolder;
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tavelor
