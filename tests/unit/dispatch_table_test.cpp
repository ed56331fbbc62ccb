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
#include "core/request_text.h"
#include "support/process.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

// Each code reaches its own handler: what it does first in the cockpit (the offset of its first
// record, and how many records it exchanges) is its own, so a handler bound to another code's
// row shows. The flight plan chunks are told apart by the file they leave, APMM by the speed
// reference mode it sets. Every command and reply of the registry must have its row here.
TEST(DispatchTable, EachCodeReachesItsOwnHandler) {
  const struct {
    const char* request;
    uint32_t first;   // the offset of the first record; 0: no exchange
    size_t records;
    const char* plan = nullptr;  // the plan file afterwards
  } cases[] = {
      {"COM1 118.50 121.50", 0x034E, 2}, {"CO11 118.250 121.500", 0x05C4, 2}, {"COM2 118.50 121.50", 0x3118, 2},
      {"CO22 118.250 121.500", 0x05C8, 2}, {"NAV1 110.50 111.50", 0x0350, 2}, {"NAV2 110.50 111.50", 0x0352, 2},
      {"ADF0 372", 0x034C, 2}, {"TRA0 7000", 0x0354, 1}, {"AUD0 10010000", 0x3122, 1}, {"APGP 1", 0x132C, 1},
      {"APAL 05000", 0x07D4, 1}, {"APVS -0500", 0x07F2, 1}, {"APHD 090", 0x07CC, 1}, {"EBAT 1", 0x3102, 1},
      {"EALT 1", 0x3101, 1}, {"EAVI 1", 0x3103, 1}, {"EFUE 1", 0x3104, 1}, {"EICE 1", 0x08B2, 4},
      {"EPIT 1", 0x029C, 1}, {"ECOW 1", 0x37F0, 4}, {"LIGH 111111", 0x0D0C, 1}, {"LAND 1", 0x0BE8, 1},
      {"FLAP 1", 0x0BFC, 1}, {"APCR 090", 0x0C4E, 1}, {"APAP 1", 0x07BC, 1}, {"APFD 1", 0x2EE0, 1},
      {"APNA 0", 0x07C4, 1}, {"APPR 1", 0x07FC, 8}, {"APGS 0", 0x07FC, 3}, {"APHH 0", 0x07C8, 1},
      {"APAA 1", 0x0800, 9}, {"APSP 10", 0x0810, 3}, {"APMM 2", 0, 0}, {"APYD 1", 0x0808, 1},
      {"APLV 1", 0x07C0, 1}, {"APIA 120", 0x07E2, 1}, {"APMA 078", 0x07E8, 1}, {"BARO 101325", 0x0330, 1},
      {"PLA9 <a>", 0, 0, "<a>"}, {"PL99 <b>", 0, 0, "<a><b>"}, {"PLAX <a>", 0, 0, "\xEF\xBB\xBF<a>"},
      {"PLAN <b>", 0, 0, "\xEF\xBB\xBF<a><b>"}, {"EXEC", 0x0130, 1}, {"MAGN 3", 0x0892, 1},
      {"FLPS 08191", 0x0BDC, 1}, {"GDRF 0090", 0x0C3E, 1}, {"OBS2 090", 0x0C5E, 1}, {"AOBS 090", 0x0C6C, 1},
      {"DTPA", 0x3102, 11}, {"MAPS", 0x0560, 101}, {"RADI", 0x0300, 13}, {"HSI", 0x2B00, 31},
      {"PFD", 0x02BC, 54}, {"FGP", 0x07BC, 21}, {"FMS", 0x0560, 3}, {"C172", 0x3102, 44},
      {"C177", 0x3102, 42}, {"XRAD", 0x3122, 28}, {"PMAP", 0x0560, 118}, {"PFDP", 0x0578, 54},
  };
  testing::SimLink link;
  const auto folder = std::filesystem::temp_directory_path() / "tavelor-dispatch-own-test";
  std::filesystem::create_directories(folder);
  link.state.AppFolder = folder.string() + "/";
  std::set<std::string> covered;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    covered.insert(RequestCodeOf(c.request));
    link.state.SpeedRefMode = 0;
    ServeRequest(link.state, std::string("xx") + c.request);
    const std::vector<sim::JournalEntry> journal = link.TakeJournal();
    EXPECT_EQ(journal.size(), c.records);
    if (!journal.empty()) {
      EXPECT_EQ(journal.front().offset, c.first);
    }
    if (c.plan) {
      EXPECT_EQ(testing::FileBytes((folder / "Quindrel.pln").string()), c.plan);
    }
    if (RequestCodeOf(c.request) == "APMM") {
      EXPECT_EQ(link.state.SpeedRefMode, 2);
    }
  }
  for (const RequestCode& row : RequestCodes()) {
    if (row.kind != CodeKind::kVersion) {
      EXPECT_TRUE(covered.count(row.code)) << row.code << " has no row here";
    }
  }
  std::filesystem::remove_all(folder);
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
