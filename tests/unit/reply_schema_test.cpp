// Reading a reply line by its schema. The schema itself is held against the server's lines and
// docs/protocol.md in protocol_reference_test.cpp.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "replies/reply_schema.h"

namespace tavelor {
namespace {

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
  EXPECT_EQ(FindReplySchema("V100"), nullptr);
}

}  // namespace
}  // namespace tavelor
