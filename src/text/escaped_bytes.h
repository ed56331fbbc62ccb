// Bytes shown where a reader, a log or a terminal must not take them for anything but text:
// each unsafe byte as \xHH (upper-case hex). One escaping for the server's log and console,
// tavelor-web's log and the probe's output.
#pragma once

#include <string>
#include <string_view>

namespace tavelor {

enum class UnsafeBytes {
  kControl,      // below 0x20, and 0x7F: a line of a log, whose CR LF could forge lines
  kTerminalC1,   // 0x80 to 0x9F, which a terminal can take as control sequences
  kNotAscii,     // anything but printable ASCII, CR and LF written \r and \n: a quoted answer
};

std::string EscapedBytes(std::string_view bytes, UnsafeBytes unsafe);

}  // namespace tavelor
