#include "core/log.h"

#include <cstdio>
#include <ctime>

#include "text/request_error.h"

namespace tavelor {

namespace {
template <typename Unsafe>
std::string Escaped(const std::string& text, Unsafe unsafe) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string safe;
  safe.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (!unsafe(byte)) {
      safe += c;
      continue;
    }
    safe += "\\x";
    safe += kDigits[byte >> 4];
    safe += kDigits[byte & 0xF];
  }
  return safe;
}
}  // namespace

std::string LogSafeText(const std::string& text) {
  return Escaped(text, [](unsigned char byte) { return byte < 0x20 || byte == 0x7F; });
}

std::string ConsoleSafeText(const std::string& line) {
  return Escaped(line, [](unsigned char byte) { return byte >= 0x80 && byte <= 0x9F; });
}

void LogLine(const LogSink& log, const std::string& text) {
  if (log) log(LogSafeText(text));
}

void LogError(const LogSink& log, const std::string& message) {
  LogLine(log, "- Error: " + ErrorDisplayText(message));
}

TimeOfDay LocalTimeOfDay() {
  std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);  // one thread serves everything
  if (!local) return {};
  return {local->tm_hour, local->tm_min, local->tm_sec};
}

std::string LongTimeText(const TimeOfDay& time) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
  return text;
}

}  // namespace tavelor
