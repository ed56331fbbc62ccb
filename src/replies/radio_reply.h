// RADI: the radio stack in one line of fixed-width fields (89 bytes with CR LF).
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

std::string RadioReply(RequestState& state);

}  // namespace tavelor
