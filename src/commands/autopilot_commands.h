// The autopilot: master, flight director, yaw damper and wing leveller switches, the lateral
// and vertical modes, and the altitude, vertical-speed, heading, course and speed targets.
// Every command parses all of its numbers before its first write; the mode commands write in
// batches of one exchange each, in a fixed order the simulator's autopilot relies on.
#pragma once

#include <string>

#include "core/request_codes.h"
#include "core/request_state.h"

namespace tavelor {

// Plain switches: the digit at position 6, written as 4 bytes.
void ApgpCommand(RequestState&, const CommandRequest&);  // NAV or GPS steering
void ApapCommand(RequestState&, const CommandRequest&);  // master
void ApfdCommand(RequestState&, const CommandRequest&);  // flight director
void ApydCommand(RequestState&, const CommandRequest&);  // yaw damper
void AplvCommand(RequestState&, const CommandRequest&);  // wing leveller

// Targets.
void ApalCommand(RequestState&, const CommandRequest&);  // altitude, feet at 6-10
void ApvsCommand(RequestState&, const CommandRequest&);  // vertical speed, sign at 6, ft/min at 7-10
void AphdCommand(RequestState&, const CommandRequest&);  // heading, degrees at 6-8
void ApcrCommand(RequestState&, const CommandRequest&);  // NAV1 course, degrees at 6-8
void ApiaCommand(RequestState&, const CommandRequest&);  // indicated airspeed, knots at 6-8
void ApmaCommand(RequestState&, const CommandRequest&);  // Mach x 100 at 6-8

// Modes.
void ApnaCommand(RequestState&, const CommandRequest&);  // NAV hold
void AphhCommand(RequestState&, const CommandRequest&);  // heading hold
void ApprCommand(RequestState&, const CommandRequest&);  // approach
void ApgsCommand(RequestState&, const CommandRequest&);  // glideslope
void ApaaCommand(RequestState&, const CommandRequest&);  // altitude hold
void ApspCommand(RequestState&, const CommandRequest&);  // speed hold; position 7 sets SpeedRefMode
void ApmmCommand(RequestState&, const CommandRequest&);  // SpeedRefMode only, nothing sent

}  // namespace tavelor
