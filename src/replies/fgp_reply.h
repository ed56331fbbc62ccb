// FGP: the flight guidance panel in one line of 11 fields (63 bytes with CR LF while every
// value is in its usual range): the autopilot mode switches, its heading, course, altitude,
// vertical speed, airspeed and Mach targets, the gyro heading, the bearing to the NAV1
// station, the altimeter to the nearest hundred feet and the altimeter setting. Every 101st
// FGP reply also writes the autopilot speed target it has just read back to the simulator
// (see speed_resend.h).
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string FgpReply(RequestState& state);

}  // namespace tavelor
