// The radio receivers as the panels show them: DME distances and the ADF's signal. Forms as
// in field_forms.h.
//
// A DME distance comes in tenths of a nautical mile. Each panel has its own end of the scale,
// beyond which it shows no station; those ends are named in radio_rules.cpp.
#pragma once

#include <cstdint>
#include <string>

namespace tavelor {

// The radio stacks (RADI, XRAD): nautical miles with one decimal, five characters
// right-aligned; "  0.0" beyond 650.0.
std::string DmeText(uint16_t tenths);

// The HSI: hundredths of a nautical mile in at least five characters; "00000" beyond 6500.0.
std::string DmeHundredthsText(uint16_t tenths);

// The flight displays and the extended map: the tenths unscaled in four characters; "0000"
// beyond 300.0 nm, a DME's range.
std::string DmeTenthsText(uint16_t tenths);
// "1" while the DME has a station within that range (a reading of 0.1 to 300.0), else "0".
std::string DmeInRangeFlag(uint16_t tenths);

// The second value of a DME (tenths) in whole units, four characters.
std::string TenthsAsWholeText(uint16_t tenths);

// "1" when the ADF receives a usable signal (above 10), else "0".
std::string AdfSignalFlagText(int32_t signal);

}  // namespace tavelor
