// The dispatch table as the dispatcher uses it: every code once, each with one action, and a
// request for the code reaching exactly that action.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <iterator>
#include <string>
#include <vector>

#include "server/dispatch_table.h"
#include "server/request.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

// The codes clients send, in the order they are compared, with the kind of action each has:
// C a command (nothing answered), R a panel reply, V a version text.
TEST(DispatchTable, HoldsEveryCodeInItsOrder) {
  const struct {
    const char* code;
    char kind;
  } expected[] = {
      {"COM1", 'C'}, {"CO11", 'C'}, {"COM2", 'C'}, {"CO22", 'C'}, {"NAV1", 'C'}, {"NAV2", 'C'},
      {"ADF0", 'C'}, {"TRA0", 'C'}, {"AUD0", 'C'},
      {"APGP", 'C'}, {"APAL", 'C'}, {"APVS", 'C'}, {"APHD", 'C'},
      {"EBAT", 'C'}, {"EALT", 'C'}, {"EAVI", 'C'}, {"EFUE", 'C'}, {"EICE", 'C'}, {"EPIT", 'C'},
      {"ECOW", 'C'}, {"LIGH", 'C'}, {"LAND", 'C'}, {"FLAP", 'C'},
      {"APCR", 'C'}, {"APAP", 'C'}, {"APFD", 'C'}, {"APNA", 'C'}, {"APPR", 'C'}, {"APGS", 'C'},
      {"APHH", 'C'}, {"APAA", 'C'}, {"APSP", 'C'}, {"APMM", 'C'}, {"APYD", 'C'}, {"APLV", 'C'},
      {"APIA", 'C'}, {"APMA", 'C'},
      {"BARO", 'C'},
      {"PLA9", 'C'}, {"PL99", 'C'}, {"PLAX", 'C'}, {"PLAN", 'C'}, {"EXEC", 'C'},
      {"MAGN", 'C'}, {"FLPS", 'C'}, {"GDRF", 'C'}, {"OBS2", 'C'}, {"AOBS", 'C'},
      {"DTPA", 'R'}, {"MAPS", 'R'}, {"RADI", 'R'}, {"HSI", 'R'}, {"PFD", 'R'}, {"FGP", 'R'},
      {"FMS", 'R'}, {"C172", 'R'}, {"C177", 'R'}, {"XRAD", 'R'}, {"PMAP", 'R'}, {"PFDP", 'R'},
      {"V100", 'V'}, {"V172", 'V'}, {"V177", 'V'}, {"VMAP", 'V'}, {"VPFD", 'V'},
  };
  const std::vector<DispatchEntry>& table = DispatchTable();
  ASSERT_EQ(std::size(expected), 65u);
  ASSERT_EQ(table.size(), std::size(expected));
  for (size_t i = 0; i < table.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_STREQ(table[i].code, expected[i].code);
    const char kind = table[i].command ? 'C' : table[i].reply ? 'R' : table[i].versionText ? 'V' : '?';
    EXPECT_EQ(kind, expected[i].kind) << table[i].code;
  }
}

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
  // The flight plan commands write their file beside the program: here, in a folder of its own.
  const auto folder = std::filesystem::temp_directory_path() / "tavelor-dispatch-test";
  std::filesystem::create_directories(folder);
  link.state.AppFolder = folder.string() + "/";
  for (const DispatchEntry& entry : DispatchTable()) {
    const std::string code = entry.code;
    SCOPED_TRACE(code);
    std::optional<std::string> answer;
    bool failed = false;
    try {
      answer = ServeRequest(link.state, "xx" + code);
    } catch (const RequestError&) {
      failed = true;  // a command without its arguments
    }
    if (entry.command) {
      EXPECT_FALSE(answer.has_value());
    } else if (entry.reply) {
      ASSERT_FALSE(failed);
      ASSERT_TRUE(answer.has_value());
      EXPECT_EQ(*answer, entry.reply(link.state));  // the same memory gives the same line
    } else {
      EXPECT_EQ(answer, std::string(entry.versionText) + "\r\n");
    }
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tavelor
