// The wording of socket failures, as the log (and the Windows error box) shows them.
#pragma once

#include <string>

#include "server/event_loop.h"

namespace tavelor {

// "Windows socket error: <system text> (<number>), on API '<api>'", or for an error that came
// with a network event, "Asynchronous socket error <number>".
std::string SocketFailureText(const SocketFailure& failure);

}  // namespace tavelor
