// Altitudes and the altimeter setting as the panels show them. Forms and rounding as in
// field_forms.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavelor {

// Radio altitude (metres x 65536) in whole feet, `digits` characters and held to the most they
// show: five on the flight displays (99999), four on the maps (9999).
std::string RadioAltitudeText(uint32_t metres65536, size_t digits);

// The autopilot altitude target (metres x 65536) in feet, at least five characters.
std::string ApAltitudeText(int32_t metres65536);

// The altimeter setting (hPa x 16) in whole hPa, four characters.
std::string QnhText(uint16_t hpa16);

}  // namespace tavelor
