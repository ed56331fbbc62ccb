// PMAP: the map panel with navigation instruments. The map reply's position, wind, altitude,
// traffic and variation, plus temperature, ground speed, ADF, VOR2, NAV1 course and needles,
// the GPS selection, course and cross-track needle, and the NAV1, NAV2 and GPS identifiers
// with their distances: 105 fields (933 bytes with CR LF when every value is zero).
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string ExtendedMapReply(RequestState& state);

}  // namespace tavelor
