// HSI: what a horizontal situation indicator shows, in one line of 23 fixed-width fields
// (113 bytes with CR LF when the simulator reads all zero).
#pragma once

#include <string>

namespace tavelor {

std::string HsiReply();

}  // namespace tavelor
