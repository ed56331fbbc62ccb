// The electric panel: every value in the same form as the argument of the command that sets
// it, so a panel can echo a switch back unchanged.
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string ElectricReply(RequestState& state);

}  // namespace tavelor
