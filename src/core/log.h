// The log: one call, one line. Where the line goes (the window's text box, standard output, a
// test's vector) is the sink's owner's choice: the program's log writes to its view, a test's
// to a vector of its own. An empty sink drops the lines.
#pragma once

#include <functional>
#include <string>

namespace tavelor {

using LogSink = std::function<void(const std::string& line)>;

// Every line goes out with its control bytes escaped (see LogSafeText).
void LogLine(const LogSink& log, const std::string& text);

// The text with every control byte (below 0x20, and 0x7F) written as \xHH, upper-case hex.
// Request bytes reach the log (the debug line's code, arguments quoted in error messages, plan
// chunks with debug on); raw, a client could send terminal escape sequences or, with a CR LF,
// forge whole log lines.
std::string LogSafeText(const std::string& text);

// A log line as a terminal may show it: the bytes 0x80 to 0x9F escaped as \xHH too, since a
// terminal can take them (alone, or as the second byte of a UTF-8 pair) as control sequences.
// The Windows log window shows them as text.
std::string ConsoleSafeText(const std::string& line);

// "- Error: " and the text the error box would show: a request that could not be served.
void LogError(const LogSink& log, const std::string& message);

// The time of day the debug lines show, and where it comes from: the machine's local time, or a
// test's own clock.
struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
};
using TimeOfDayClock = std::function<TimeOfDay()>;
TimeOfDay LocalTimeOfDay();

// The time as "HH:mm:ss", 24-hour, whatever the machine's regional settings.
std::string LongTimeText(const TimeOfDay& time);

}  // namespace tavelor
