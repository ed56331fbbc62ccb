// The wording of socket failures, as the log (and the Windows error box) shows them.
#pragma once

#include <string>

namespace tavelor {

// "Windows socket error: <system text> (<number>), on API '<api>'"
std::string SocketErrorText(const std::string& systemText, int number, const std::string& api);
// "Asynchronous socket error <number>"
std::string AsyncSocketErrorText(int number);

}  // namespace tavelor
