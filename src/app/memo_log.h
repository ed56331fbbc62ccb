// How the window's log stays bounded. An edit box that only grows stops taking text, and debug
// mode writes dozens of lines per request, so once the text would pass kMemoLimit characters
// the oldest lines go, down to kMemoKeep, whole lines at a time. Dropping a quarter at once
// keeps the (whole-text) trim rare. Portable, so the rule is tested without a window.
#pragma once

#include <cstddef>
#include <string>

namespace tavelor {

inline constexpr size_t kMemoLimit = 1 << 20;           // characters, line ends included
inline constexpr size_t kMemoKeep = kMemoLimit / 4 * 3;

// Lines are separated by CR LF; the text "" is the log's one empty line before anything is
// logged, and each new line is appended as CR LF + line.
inline std::string MemoAppendText(const std::string& line) { return "\r\n" + line; }

// The number of characters to drop from the start of `text` before `incoming` more characters
// are appended: 0 while the result stays within `limit`; otherwise enough whole lines (each
// with its CR LF) that the result is at most `keep`, or the whole text when no line end is left
// at or after that point.
inline size_t MemoCutLength(const std::string& text, size_t incoming, size_t limit = kMemoLimit,
                            size_t keep = kMemoKeep) {
  if (text.size() + incoming <= limit) return 0;
  const size_t total = text.size() + incoming;
  const size_t need = total > keep ? total - keep : 0;
  if (need >= text.size()) return text.size();
  // The first line end whose CR LF ends at or after `need`.
  const size_t from = need >= 2 ? need - 2 : 0;
  const size_t end = text.find("\r\n", from);
  return end == std::string::npos ? text.size() : end + 2;
}

}  // namespace tavelor
