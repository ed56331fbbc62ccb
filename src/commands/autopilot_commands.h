// The autopilot: master, flight director, yaw damper and wing leveller switches, the lateral
// and vertical modes, and the altitude, vertical-speed, heading, course and speed targets.
// Every command parses all of its numbers before its first write; the mode commands write in
// batches of one exchange each, in a fixed order the simulator's autopilot relies on.
#pragma once

#include <string>

#include "core/request_codes.h"
#include "core/request_state.h"

namespace tavelor {

// Plain switches: the digit, written as 4 bytes.
void ApgpCommand(RequestState&, const CommandArguments&);  // NAV or GPS steering
void ApapCommand(RequestState&, const CommandArguments&);  // master
void ApfdCommand(RequestState&, const CommandArguments&);  // flight director
void ApydCommand(RequestState&, const CommandArguments&);  // yaw damper
void AplvCommand(RequestState&, const CommandArguments&);  // wing leveller

// Targets.
void ApalCommand(RequestState&, const CommandArguments&);  // altitude, feet
void ApvsCommand(RequestState&, const CommandArguments&);  // vertical speed, ft/min
void AphdCommand(RequestState&, const CommandArguments&);  // heading bug, degrees
void ApcrCommand(RequestState&, const CommandArguments&);  // NAV1 course, degrees
void ApiaCommand(RequestState&, const CommandArguments&);  // indicated airspeed, knots
void ApmaCommand(RequestState&, const CommandArguments&);  // Mach x 100

// Modes.
void ApnaCommand(RequestState&, const CommandArguments&);  // NAV hold
void AphhCommand(RequestState&, const CommandArguments&);  // heading hold
void ApprCommand(RequestState&, const CommandArguments&);  // approach
void ApgsCommand(RequestState&, const CommandArguments&);  // glideslope
void ApaaCommand(RequestState&, const CommandArguments&);  // altitude hold
void ApspCommand(RequestState&, const CommandArguments&);  // speed hold, and SpeedRefMode
void ApmmCommand(RequestState&, const CommandArguments&);  // SpeedRefMode only, nothing sent

}  // namespace tavelor
