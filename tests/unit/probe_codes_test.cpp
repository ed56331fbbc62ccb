// What tavelor-probe knows of the codes, held against what the server serves: every code of the
// dispatch table is known to the probe as the same kind, a panel reply with its schema (held
// against the server's lines in reply_schema_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "probe/probe_codes.h"
#include "replies/reply_schema.h"
#include "server/dispatch_table.h"

namespace tavelor {
namespace {

using probe::CodeKind;

TEST(ProbeCodes, KnowEveryServedCodeAsItsKind) {
  for (const DispatchEntry& entry : DispatchTable()) {
    SCOPED_TRACE(entry.code);
    const probe::CodeInfo* info = probe::FindCode(entry.code);
    ASSERT_NE(info, nullptr) << "the probe does not know this code";
    EXPECT_EQ(info->code, entry.code);
    const CodeKind served = entry.command ? CodeKind::kCommand
                            : entry.reply ? CodeKind::kReply
                                          : CodeKind::kVersion;
    EXPECT_EQ(info->kind, served);
    EXPECT_EQ(info->schema, entry.reply ? FindReplySchema(entry.code) : nullptr);
  }
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
