// The conversions of the HSI panel that the PFD, extended PFD and extended radio replies use
// unchanged, so every panel that shows the same value shows it the same way.
//
// Reals are scaled in extended precision and rounded to the nearest integer, halves to even; a
// value that is not finite, or whose scaled value does not fit 64 bits, ends the request with
// "Invalid floating point operation". Zero-filled widths count a minus sign as a character
// ("00-50") and never cut a longer text.
#pragma once

#include <cstdint>
#include <initializer_list>
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

// The cross-track needle of the HSI and PFD panels: a reading that is not finite is a fault
// there (the request ends), not a needle at the end of the scale.
std::string GpsCrossTrackText(double metres);

// DecText(n) zero-filled in front to `width` characters.
std::string PaddedDec(int64_t n, size_t width);

// A heading held in degrees as hundredths, at least five characters: 123.456 gives "12346".
std::string DegreesHundredthsText(double degrees);

// A 16-bit angle (65536 to the turn) as hundredths of a degree in five characters, "00000" to
// "35999": the ADF bearing.
std::string AngleHundredthsText(uint16_t angle);

// A value already in whole units (a course, a needle byte) zero-filled to three characters;
// 1- and 2-byte readings are unsigned, so a needle at -10 shows "246".
std::string ThreeDigitText(uint32_t value);

// A DME distance in tenths of a nautical mile as hundredths in at least five characters; above
// 65000 the receiver has no lock and shows "00000".
std::string DmeHundredthsText(uint16_t tenths);

// A 16-bit angle (65536 to the turn) in whole degrees, 0 to 360: just below a full turn is 360.
int64_t WholeDegrees(uint16_t angle);
// The same in three characters.
std::string WholeDegreesText(uint16_t angle);

// Autopilot switch values as unsigned decimals joined without separator: "0000000" when all
// seven are off, "1000000" with the master alone.
std::string ApSwitchesText(std::initializer_list<uint32_t> switches);

// The autopilot altitude target (metres x 65536) in feet, at least five characters.
std::string ApAltitudeText(int32_t metres65536);

// The autopilot vertical speed target (feet per minute, two's complement above 8000) as a sign
// and four digits; a magnitude of five digits shows "9999", so the field never grows.
std::string ApVerticalSpeedText(uint16_t raw);

// The three marker lights as plain decimals side by side: "100" for the outer marker alone.
std::string MarkerText(uint16_t outer, uint16_t middle, uint16_t inner);

// The wind speed in knots, two characters, held to 99.
std::string WindSpeedText(uint16_t knots);

// The distance to the next GPS waypoint (metres) as hundredths of a nautical mile in five
// characters, held to 99999.
std::string GpsDistanceHundredthsText(double metres);

// The GPS course (radians) as whole degrees, at least three characters.
std::string GpsCourseText(double radians);

}  // namespace tavelor
