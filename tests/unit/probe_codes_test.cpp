// What tavelor-probe knows of the codes, held against what the server serves: every code of the
// dispatch table is known to the probe as the same kind, and every panel reply has as many
// labels as the server's line has fields, so a reply that gains or loses a field fails here.
// Codes the dispatch table does not have yet are not checked.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/globals.h"
#include "probe/probe_codes.h"
#include "probe/probe_format.h"
#include "server/dispatch_table.h"
#include "sim/sim_peer.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

using probe::CodeKind;

TEST(ProbeCodes, KnowEveryServedCodeAsItsKindAndEveryReplyFieldByLabel) {
  testing::SimLink link;
  sim::LoadParkedAircraft(link.peer.Memory());
  const int savedPfd = PfdRefreshCount, savedFgp = FgpRefreshCount;
  for (const DispatchEntry& entry : DispatchTable()) {
    SCOPED_TRACE(entry.code);
    const probe::CodeInfo* info = probe::FindCode(entry.code);
    ASSERT_NE(info, nullptr) << "the probe does not know this code";
    EXPECT_EQ(info->code, entry.code);
    const CodeKind served = entry.command ? CodeKind::kCommand
                            : entry.reply ? CodeKind::kReply
                                          : CodeKind::kVersion;
    EXPECT_EQ(info->kind, served);
    if (!entry.reply) continue;
    const std::vector<std::string> fields = probe::SplitReply(entry.reply());
    EXPECT_EQ(info->labels.size(), fields.size());
    const std::set<std::string> distinct(info->labels.begin(), info->labels.end());
    EXPECT_EQ(distinct.size(), info->labels.size()) << "a label names two fields";
  }
  PfdRefreshCount = savedPfd;
  FgpRefreshCount = savedFgp;
}

// Only what the server would match: the request's own tail decides for three-letter codes.
TEST(ProbeCodes, MatchRequestsAsTheServerDoes) {
  const struct {
    const char* requestText;
    const char* code;  // nullptr: no code of ours
  } cases[] = {
      {"RADI\r\n", "RADI"}, {"HSI", "HSI"}, {"HSI\r\n", nullptr}, {"PFDP", "PFDP"},
      {"radi", nullptr},   {"RAD", nullptr},
  };
  for (const auto& c : cases) {
    const probe::CodeInfo* info = probe::FindCode(c.requestText);
    EXPECT_EQ(info ? info->code : "none", c.code ? c.code : "none") << c.requestText;
  }
}

}  // namespace
}  // namespace tavelor
