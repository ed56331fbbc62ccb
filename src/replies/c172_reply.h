// C172: a single-engine light-aircraft panel in one line of 39 fields: switches, magnetos,
// flaps, outside air, volts, local and UTC clock, fuel, engine gauges, the six flight
// instruments, both NAV indicators, the ADF and the attitude (165 bytes with CR LF when every
// value is in range).
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string C172Reply(RequestState& state);

}  // namespace tavelor
