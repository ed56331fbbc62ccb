// The window log's bound, without a window: which leading lines go when new text would pass it.
#include <gtest/gtest.h>

#include "app/memo_log.h"

namespace tavelor {
namespace {

TEST(MemoLog, CutsWholeLinesDownToWhatIsKept) {
  struct Case {
    const char* text;
    size_t incoming, limit, keep;
    size_t cut;
  };
  const Case cases[] = {
      {"", 10, 20, 15, 0},                      // fits: nothing goes
      {"\r\nab\r\ncd", 12, 20, 15, 0},           // exactly at the limit
      {"\r\nab\r\ncd", 13, 20, 15, 6},           // over: "\r\nab\r\n" goes, "cd" stays
      {"\r\nab\r\ncd\r\nef", 10, 20, 16, 6},     // 12 + 10 - 16 = 6: a cut right at a line end
      {"\r\nab\r\ncd\r\nef", 10, 20, 17, 6},     // need 5: the end of "ab" is the first line end
      {"\r\nab\r\ncd\r\nef", 10, 20, 15, 10},    // need 7: past "ab", so "cd" goes too
      {"\r\nabcdefgh", 30, 20, 15, 10},          // more must go than there is: all of it
      {"abcdefghijklmnop", 10, 20, 15, 16},      // one long line and no line end: all of it
      {"\r\nabc\r\nd", 20, 20, 10, 8},           // need 18 of 8: the whole text
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MemoCutLength(c.text, c.incoming, c.limit, c.keep), c.cut)
        << '"' << c.text << "\" + " << c.incoming;
  }
}

TEST(MemoLog, AfterACutTheLogIsBackUnderWhatIsKept) {
  std::string log;  // the log's one empty line
  size_t cuts = 0;
  for (int i = 0; i < 100000; ++i) {
    const std::string added = MemoAppendText("- line " + std::to_string(i));
    const size_t cut = MemoCutLength(log, added.size());
    if (cut) {
      ++cuts;
      log.erase(0, cut);
      EXPECT_LE(log.size() + added.size(), kMemoKeep);
      EXPECT_EQ(log.compare(0, 7, "- line "), 0) << "a whole line starts the log";
    }
    log += added;
    ASSERT_LE(log.size(), kMemoLimit);
  }
  EXPECT_GT(cuts, 0u);
  EXPECT_EQ(log.substr(log.size() - 12), "- line 99999");
}

}  // namespace
}  // namespace tavelor
