// FMS: the aircraft's position and the next GPS waypoint's identifier for a flight management
// panel, in the map panel's forms (40 bytes with CR LF for positions in range).
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string FmsReply(RequestState& state);

}  // namespace tavelor
