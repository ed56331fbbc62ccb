// RADI: the radio stack in one line of fixed-width fields (89 bytes with CR LF).
#pragma once

#include <string>

namespace tavelor {

std::string RadioReply();

}  // namespace tavelor
