// MAPS: the moving map in one line of 86 fields: position, heading, wind, the next GPS
// waypoint, altitude, the fifteen traffic slots, radio altitude and magnetic variation
// (857 bytes with CR LF when every value is zero).
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string MapReply(RequestState& state);

}  // namespace tavelor
