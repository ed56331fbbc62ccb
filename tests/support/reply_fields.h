// Small helpers for reply tests: character fields that may hold zero bytes, and a reply line
// cut into its fields.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "simlink/offsets.h"

namespace tavelor::testing {

// A fixed-size character field from a text that may hold zero bytes; the rest is zero-filled.
template <size_t N>
std::array<char, N> Chars(std::string_view text) {
  std::array<char, N> bytes{};
  std::memcpy(bytes.data(), text.data(), std::min(N, text.size()));
  return bytes;
}
inline offsets::Ident Ident(std::string_view text) { return Chars<6>(text); }
inline offsets::CallSign CallSign(std::string_view text) { return Chars<15>(text); }

// The reply's fields, numbered from 1 as the panels number them (element 0 is unused). The
// line must end ":" CR LF.
inline std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields{""};
  EXPECT_GE(line.size(), 3u);
  if (line.size() < 3) return fields;
  EXPECT_EQ(line.substr(line.size() - 3), ":\r\n");
  std::string field;
  for (size_t i = 0; i + 2 < line.size(); ++i) {
    if (line[i] == ':') {
      fields.push_back(field);
      field.clear();
    } else {
      field += line[i];
    }
  }
  return fields;
}

inline std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

}  // namespace tavelor::testing
