// PFDP: the extended primary flight display, in one line of 45 fields (217 bytes with CR LF
// when the simulator reads all zero): the PFD's values in another order with all eight
// autopilot switches in one field and the marker lights last, without Mach, altimeter
// setting, Mach target or speed mode. It never re-sends a speed target.
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string PfdpReply(RequestState& state);

}  // namespace tavelor
