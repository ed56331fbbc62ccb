// XRAD: the extended radio stack in one line of 21 fields (157 bytes with CR LF while every
// value is in its usual range): audio selector, COM1 and COM2 to the kilohertz, NAV1 and NAV2
// with their DME distances, ADF, transponder, seven autopilot switches with the altitude and
// vertical speed targets, position, gyro heading, avionics and battery, magnetic variation.
// The fields it shares with the radio, map, HSI and FGP panels come out exactly as there.
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string XradReply(RequestState& state);

}  // namespace tavelor
