// A plausible parked aircraft: radios tuned, transponder 7000, battery on, and so on, so a new
// user of `tavelor-server --sim` sees real-looking replies.
#pragma once

#include "sim/offset_memory.h"

namespace tavelor::sim {

void LoadParkedAircraft(OffsetMemory& memory);

}  // namespace tavelor::sim
