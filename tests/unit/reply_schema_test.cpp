// The field schema held against what the server serves: every panel reply of the dispatch table
// has one, numbered in line order with distinct names, and the parked aircraft's line (values
// in their usual range) reads with it field for field at the widths it gives.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "replies/reply_schema.h"
#include "server/dispatch_table.h"
#include "sim/sim_peer.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

TEST(ReplySchema, DescribesEveryServedReplyFieldByField) {
  testing::SimLink link;
  sim::LoadParkedAircraft(link.peer.Memory());
  testing::ScopedSpeedGlobals keep;
  size_t replies = 0;
  for (const DispatchEntry& entry : DispatchTable()) {
    if (!entry.reply) continue;
    SCOPED_TRACE(entry.code);
    ++replies;
    const ReplySchema* schema = FindReplySchema(entry.code);
    ASSERT_NE(schema, nullptr);
    const auto values = ReadReplyLine(*schema, entry.reply());
    ASSERT_TRUE(values.has_value());
    std::set<std::string> names;
    for (size_t i = 0; i < values->size(); ++i) {
      const FieldValue& value = (*values)[i];
      EXPECT_EQ(value.info->number, static_cast<int>(i + 1));
      EXPECT_TRUE(names.insert(value.info->name).second) << value.info->name;
      EXPECT_EQ(value.text.size(), static_cast<size_t>(value.info->width)) << value.info->name;
      EXPECT_EQ(value.number.has_value(), value.info->numeric) << value.info->name << " " << value.text;
    }
  }
  EXPECT_EQ(ReplySchemas().size(), replies);
  EXPECT_EQ(FindReplySchema("V100"), nullptr);
}

TEST(ReplySchema, ReadsTheNumberATextShows) {
  const std::pair<const char*, std::optional<double>> cases[] = {
      {" 12.3", 12.3}, {"0-6", -6},      {"00-50", -50},        {"+0500", 500},  {"-0000", 0},
      {"0015", 15},    {"-05", -5},      {"0.", 0},             {"   0.0000000000", 0},
      {"11A.2F", {}},  {"-----", {}},    {"", {}},              {"inf", {}},     {"1 2", {}},
      {"0-", {}},      {"--5", {}},      {" 1.0000E+0040", 1e40},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(FieldNumber(text), number) << '"' << text << '"';
  const ReplySchema& radi = *FindReplySchema("RADI");
  EXPECT_FALSE(ReadReplyLine(radi, "1:2:"));
  EXPECT_FALSE(ReadReplyLine(radi, std::string(13, ':') + ":"));  // one field too many
  EXPECT_EQ(ReadReplyLine(radi, std::string(13, ':')).value().size(), 13u);
}

}  // namespace
}  // namespace tavelor
