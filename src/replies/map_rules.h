// The map panel's texts for position, radio altitude, magnetic variation and the next GPS
// waypoint. The extended map, FMS and XRAD replies send the same values in the same forms, so
// they all call these. Heading, wind and altitude are the HSI's and PFD's texts (hsi_rules.h,
// pfd_rules.h): the map shows them the same way.
#pragma once

#include <cstdint>
#include <string>

#include "simlink/offsets.h"

namespace tavelor {

// Degrees north, 15 characters with 10 decimals, from 10001750 x 2^32 units per 90 degrees:
// 0 gives "   0.0000000000".
std::string LatitudeText(int64_t raw);

// Degrees east, 15 characters with 10 decimals, from 2^64 units per turn: -180 degrees gives
// "-180.0000000000".
std::string LongitudeText(int64_t raw);

// Radio altitude (metres x 65536) in whole feet, 4 digits, held at "9999".
std::string RadAltText(uint32_t raw);

// Magnetic variation in whole degrees: "0" and the degrees east or "-" and the degrees west,
// at least two digits: "005", "-05". Exactly 180 gives "0180".
std::string MagText(uint16_t raw);

// The next GPS waypoint's identifier in exactly 5 characters, left-aligned and blank-filled:
// "EGLL " for EGLL and two zero bytes, five blanks when there is none. Zero bytes inside the
// identifier stay.
std::string GpsIdText(const offsets::Ident& bytes);

}  // namespace tavelor
