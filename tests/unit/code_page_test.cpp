#include <gtest/gtest.h>

#include <string>

#include "text/code_page.h"

namespace tavelor {
namespace {

TEST(CodePage, Windows1252BytesBecomeTheirUtf8) {
  const struct {
    unsigned char byte;
    const char* utf8;
  } cases[] = {
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xE2\x82\xAC"},  // euro sign
      {0x83, "\xC6\x92"},
      {0x8A, "\xC5\xA0"},
      {0x8E, "\xC5\xBD"},
      {0x92, "\xE2\x80\x99"},
      {0x96, "\xE2\x80\x93"},
      {0x98, "\xCB\x9C"},
      {0x99, "\xE2\x84\xA2"},
      {0x9C, "\xC5\x93"},
      {0x9F, "\xC5\xB8"},
      // The five holes of the code page keep their own number.
      {0x81, "\xC2\x81"},
      {0x8D, "\xC2\x8D"},
      {0x8F, "\xC2\x8F"},
      {0x90, "\xC2\x90"},
      {0x9D, "\xC2\x9D"},
      // From 0xA0 up the code page is Latin-1.
      {0xA0, "\xC2\xA0"},
      {0xB0, "\xC2\xB0"},
      {0xBF, "\xC2\xBF"},
      {0xC0, "\xC3\x80"},
      {0xE9, "\xC3\xA9"},
      {0xFF, "\xC3\xBF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.byte));
    EXPECT_EQ(Windows1252ToUtf8(std::string(1, static_cast<char>(c.byte))), c.utf8);
  }
  EXPECT_EQ(Windows1252ToUtf8(std::string("a\0\xE9z", 4)), std::string("a\0\xC3\xA9z", 5));
  EXPECT_EQ(Windows1252ToUtf8(""), "");
}

TEST(CodePage, EveryByteGivesOneWellFormedCharacter) {
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    const std::string out = Windows1252ToUtf8(std::string(1, static_cast<char>(b)));
    const unsigned char lead = static_cast<unsigned char>(out[0]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xE0 ? 3 : 2;
    ASSERT_EQ(out.size(), length);
    if (b < 0x80) {
      EXPECT_EQ(lead, b);
    } else {
      EXPECT_GE(lead, 0xC2);  // never an overlong form
    }
    for (size_t i = 1; i < out.size(); ++i) EXPECT_EQ(static_cast<unsigned char>(out[i]) & 0xC0, 0x80);
  }
}

}  // namespace
}  // namespace tavelor
