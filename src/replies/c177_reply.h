// C177: the second single-engine panel in one line of 37 fields. It shares its gauges with C172
// and adds elevator trim, manifold pressure, seconds, fuel pressure and cylinder head
// temperature; it has no outside air, volts, UTC or NAV2 (165 bytes with CR LF in range).
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string C177Reply(RequestState& state);

}  // namespace tavelor
