#include "core/log.h"

#include <cstdio>
#include <ctime>

#include "text/escaped_bytes.h"
#include "text/request_error.h"

namespace tavelor {

std::string LogSafeText(const std::string& text) {
  return EscapedBytes(text, UnsafeBytes::kControl);
}

std::string ConsoleSafeText(const std::string& line) {
  return EscapedBytes(line, UnsafeBytes::kTerminalC1);
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
