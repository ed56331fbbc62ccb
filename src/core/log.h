// The log: one call, one line. Where the line goes (the window's text box, standard output, a
// test's vector) is the shell's choice.
#pragma once

#include <functional>
#include <string>

namespace tavelor {

using LogSink = std::function<void(const std::string& line)>;

void SetLogSink(LogSink sink);
void LogLine(const std::string& text);

// "- Error: " and the text the error box would show: a request that could not be served.
void LogError(const std::string& message);

// The time of day as "HH:mm:ss", 24-hour, whatever the machine's regional settings.
std::string LongTimeText();

}  // namespace tavelor
