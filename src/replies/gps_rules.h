// The GPS leg as the panels show it: distance and time to the next waypoint, the course and the
// cross-track needle. Forms and rounding as in field_forms.h.
#pragma once

#include <cstdint>
#include <string>

namespace tavelor {

// The distance to the next waypoint (metres) as hundredths of a nautical mile in five
// characters held to 99999 (HSI), or as tenths in four held to 9999 (the flight displays).
std::string GpsDistanceHundredthsText(double metres);
std::string GpsDistanceTenthsText(double metres);
// The same in tenths as the extended map forms it: each step stored as a 64-bit real, an
// overflow reported as such.
std::string GpsDistanceTenthsStepwiseText(double metres);

// The time to the next waypoint in seconds, four characters, held to 5940 (99 minutes); a
// negative time passes as it is ("00-3").
std::string TimeToGoText(int32_t seconds);

// The GPS course (radians) as whole degrees, at least three characters.
std::string GpsCourseText(double radians);
// The same as the extended map forms it: the product stored as a 64-bit real, an overflow
// reported as such (-0.1 gives "0-6").
std::string GpsCourseStepwiseText(double radians);

// The cross-track needle as an unsigned byte in three digits: metres to nautical miles, held
// to -5..5 (not a number counts as -5), 127 per 5 nautical miles, negatives as 256 + m.
// 0 gives "000", 1852 m "025", -1852 m "231", 5 nm or more "127", -5 nm or less "129".
std::string CrossTrackText(double metres);

// The cross-track needle of the HSI and the flight displays: a reading that is not finite is a
// fault there (the request ends), not a needle at the end of the scale.
std::string GpsCrossTrackText(double metres);

}  // namespace tavelor
