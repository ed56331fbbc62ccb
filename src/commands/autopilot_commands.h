// The autopilot: master, flight director, yaw damper and wing leveller switches, the lateral
// and vertical modes, and the altitude, vertical-speed, heading, course and speed targets.
// Every command parses all of its numbers before its first write; the mode commands write in
// batches of one exchange each, in a fixed order the simulator's autopilot relies on.
#pragma once

#include <string>

namespace tavelor {

// Plain switches: the digit at position 6, written as 4 bytes.
void ApgpCommand(const std::string& requestText);  // NAV or GPS steering
void ApapCommand(const std::string& requestText);  // master
void ApfdCommand(const std::string& requestText);  // flight director
void ApydCommand(const std::string& requestText);  // yaw damper
void AplvCommand(const std::string& requestText);  // wing leveller

// Targets.
void ApalCommand(const std::string& requestText);  // altitude, feet at 6-10
void ApvsCommand(const std::string& requestText);  // vertical speed, sign at 6, ft/min at 7-10
void AphdCommand(const std::string& requestText);  // heading, degrees at 6-8
void ApcrCommand(const std::string& requestText);  // NAV1 course, degrees at 6-8
void ApiaCommand(const std::string& requestText);  // indicated airspeed, knots at 6-8
void ApmaCommand(const std::string& requestText);  // Mach x 100 at 6-8

// Modes.
void ApnaCommand(const std::string& requestText);  // NAV hold
void AphhCommand(const std::string& requestText);  // heading hold
void ApprCommand(const std::string& requestText);  // approach
void ApgsCommand(const std::string& requestText);  // glideslope
void ApaaCommand(const std::string& requestText);  // altitude hold
void ApspCommand(const std::string& requestText);  // speed hold; position 7 sets SpeedRefMode
void ApmmCommand(const std::string& requestText);  // SpeedRefMode only, nothing sent

}  // namespace tavelor
