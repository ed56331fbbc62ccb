// Texts the simulator holds (station and waypoint identifiers, traffic call signs, which other
// pilots choose) go into replies. Whatever bytes they hold, every panel keeps its field count
// and widths, and a byte that could end a field or a line or act as a control shows as '?', on
// the line and in the debug block alike.
#include <gtest/gtest.h>

#include <string>

#include "replies/reply_schema.h"
#include "server/dispatch_table.h"
#include "support/map_memory.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

using testing::Chars;

bool Hostile(unsigned char c) { return c == ':' || c < 0x20 || c == 0x7F; }

TEST(HostileSimulatorTexts, KeepEveryPanelsFieldsAndShowAsQuestionMarks) {
  const struct {
    std::string bytes;   // in every identifier (its first six) and every call sign
    std::string ident;   // as NAV1 shows it on the HSI
    std::string call;    // as slot 1's call sign shows on the moving map
  } cases[] = {
      {"A:\r\nB:xxRADI:\r\n", "A???B", "A???B?xxRADI?"},
      {"\x1B[2J\x7F\x01Z", "[2J?-", "[2J??Z"},  // controls at the ends are trimmed
      {std::string("AB\0CD\0\0\x7F", 8), "AB?CD", "AB?CD???"},
      {"\r\n:\t: ", "??\?--", "???"},           // ':' at the ends is not
  };
  testing::SimLink link;
  link.state.DebugEnabled = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ident);
    sim::OffsetMemory& memory = link.peer.Memory();
    for (auto id : {offsets::kNav1Ident, offsets::kNav2Ident, offsets::kAdfIdent, offsets::kGpsNextId}) {
      testing::Poke(memory, id, Chars<6>(c.bytes));
    }
    for (int k = 1; k <= offsets::kTrafficSlots; ++k) testing::UseTrafficSlot(memory, k, 1, 2, 3, 0, c.bytes);
    for (const DispatchEntry& entry : DispatchTable()) {
      if (!entry.reply) continue;
      testing::LogCapture log(link.state);
      const std::string line = entry.reply(link.state);
      const auto values = ReadReplyLine(*FindReplySchema(entry.code), line);
      ASSERT_TRUE(values.has_value()) << entry.code << ": " << line;
      for (const FieldValue& value : *values) {
        for (const char byte : value.text) {
          EXPECT_FALSE(Hostile(byte)) << entry.code << " " << value.info->name;
        }
        if (value.info->simulatorText) {
          EXPECT_EQ(value.text.size(), size_t(value.info->width));
        }
      }
      for (const std::string& logged : log.lines) EXPECT_EQ(logged.find("\\x"), std::string::npos) << logged;
      if (std::string(entry.code) == "HSI") {
        EXPECT_EQ((*values)[17].text, c.ident);
      } else if (std::string(entry.code) == "MAPS") {
        EXPECT_EQ((*values)[69].text, c.call + std::string(15 - c.call.size(), ' '));
      }
    }
  }
}

}  // namespace
}  // namespace tavelor
