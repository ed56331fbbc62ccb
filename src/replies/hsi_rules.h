// The identifier and cross-track rules that the HSI reply defines and the PFD, extended PFD
// and extended map replies use unchanged.
#pragma once

#include <string>

#include "simlink/offsets.h"

namespace tavelor {

enum class DashSide { kAfter, kBefore };

// A station or waypoint identifier in exactly five characters: the six bytes trimmed of
// characters 0..32 at both ends, cut to five, or filled with "-" on the given side ("ABC--" or
// "--ABC"); "-----" when nothing is left. Zero bytes inside the identifier stay.
std::string IdentText(const offsets::Ident& bytes, DashSide side);

// The GPS cross-track needle as an unsigned byte in three digits: metres to nautical miles,
// held to -5..5 (not a number counts as -5), 127 per 5 nautical miles, negatives as 256 + m.
// 0 gives "000", 1852 m "025", -1852 m "231", 5 nm or more "127", -5 nm or less "129".
std::string CrossTrackText(double metres);

}  // namespace tavelor
