// HSI: what a horizontal situation indicator shows, in one line of 23 fixed-width fields
// (113 bytes with CR LF when the simulator reads all zero).
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string HsiReply(RequestState& state);

}  // namespace tavelor
