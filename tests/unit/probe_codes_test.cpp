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

TEST(ProbeCodes, MatchRequestsAsTheServerDoes) {
  const struct {
    const char* requestText;
    const char* code;  // nullptr: no code of ours
  } cases[] = {
      {"RADI", "RADI"},
      {"RADI\r\n", "RADI"},   // four-letter codes ignore what follows
      {"COM1 118.50 121.50", "COM1"},
      {"HSI", "HSI"},
      {"HSI\r\n", nullptr},   // three-letter codes take nothing after them
      {"PFD", "PFD"},
      {"PFDP", "PFDP"},
      {"radi", nullptr},
      {"RAD", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.requestText);
    const probe::CodeInfo* info = probe::FindCode(c.requestText);
    if (!c.code) {
      EXPECT_EQ(info, nullptr);
    } else {
      ASSERT_NE(info, nullptr);
      EXPECT_EQ(info->code, c.code);
    }
  }
}

TEST(ProbeCodes, PutTheTwoLeadingCharactersInFrontOnce) {
  const struct {
    const char* typed;
    const char* wire;
  } cases[] = {
      {"RADI", "xxRADI"},
      {"xxRADI", "xxRADI"},          // copied from an nc example
      {"zzPFD", "zzPFD"},
      {"PFD", "xxPFD"},
      {"COM1 118.50 121.50", "xxCOM1 118.50 121.50"},
      {"ABCD", "xxABCD"},            // unknown: sent as typed, the server says noversion
  };
  for (const auto& c : cases) EXPECT_EQ(probe::WireRequest(c.typed), c.wire) << c.typed;
}

}  // namespace
}  // namespace tavelor
