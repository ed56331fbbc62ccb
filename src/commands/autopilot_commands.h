// The autopilot: master, flight director, yaw damper and wing leveller switches, the lateral
// and vertical modes, and the altitude, vertical-speed, heading, course and speed targets.
// Every command parses all of its numbers before its first write; the mode commands write in
// batches of one exchange each, in a fixed order the simulator's autopilot relies on.
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

// Plain switches: the digit at position 6, written as 4 bytes.
void ApgpCommand(RequestState&, const std::string&);  // NAV or GPS steering
void ApapCommand(RequestState&, const std::string&);  // master
void ApfdCommand(RequestState&, const std::string&);  // flight director
void ApydCommand(RequestState&, const std::string&);  // yaw damper
void AplvCommand(RequestState&, const std::string&);  // wing leveller

// Targets.
void ApalCommand(RequestState&, const std::string&);  // altitude, feet at 6-10
void ApvsCommand(RequestState&, const std::string&);  // vertical speed, sign at 6, ft/min at 7-10
void AphdCommand(RequestState&, const std::string&);  // heading, degrees at 6-8
void ApcrCommand(RequestState&, const std::string&);  // NAV1 course, degrees at 6-8
void ApiaCommand(RequestState&, const std::string&);  // indicated airspeed, knots at 6-8
void ApmaCommand(RequestState&, const std::string&);  // Mach x 100 at 6-8

// Modes.
void ApnaCommand(RequestState&, const std::string&);  // NAV hold
void AphhCommand(RequestState&, const std::string&);  // heading hold
void ApprCommand(RequestState&, const std::string&);  // approach
void ApgsCommand(RequestState&, const std::string&);  // glideslope
void ApaaCommand(RequestState&, const std::string&);  // altitude hold
void ApspCommand(RequestState&, const std::string&);  // speed hold; position 7 sets SpeedRefMode
void ApmmCommand(RequestState&, const std::string&);  // SpeedRefMode only, nothing sent

}  // namespace tavelor
