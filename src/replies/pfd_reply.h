// PFD: what a primary flight display shows, in one line of 49 fields (229 bytes with CR LF
// when the simulator reads all zero). Every 101st PFD reply also writes the autopilot speed
// target it has just read back to the simulator (see speed_resend.h).
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string PfdReply(RequestState& state);

}  // namespace tavelor
