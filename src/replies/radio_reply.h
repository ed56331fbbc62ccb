// RADI: the radio stack in one line of fixed-width fields (89 bytes with CR LF).
#pragma once

#include <cstdint>
#include <string>

namespace tavelor {

std::string RadioReply();

// A DME distance in tenths of a nautical mile as the panel shows it: five characters,
// right-aligned, one decimal; beyond 650.0 nm the receiver has no lock and shows "  0.0".
std::string DmeText(uint16_t tenths);

}  // namespace tavelor
