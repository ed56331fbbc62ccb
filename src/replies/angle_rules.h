// Headings, bearings, attitude and position: angles as the panels show them. Forms and
// rounding as in field_forms.h.
#pragma once

#include <cstdint>
#include <string>

namespace tavelor {

// A heading held in degrees as hundredths, at least five characters: 123.456 gives "12346".
std::string HeadingHundredthsText(double degrees);

// A 16-bit angle (65536 to the turn) as hundredths of a degree in five characters, "00000" to
// "35999": the ADF bearing.
std::string AngleHundredthsText(uint16_t angle);

// A 16-bit angle in whole degrees, 0 to 360: just below a full turn is 360, not 0.
int64_t WholeDegrees(uint16_t angle);
// The same in three characters.
std::string WholeDegreesText(uint16_t angle);

// A real in degrees to the nearest whole degree, low 32 bits (NearestWhole), three characters.
std::string NearestDegreeText(double degrees);

// Magnetic variation in whole degrees: "0" and the degrees east or "-" and the degrees west,
// at least two digits: "005", "-05". Exactly 180 gives "0180".
std::string MagText(uint16_t raw);

// Pitch and bank (2^32 to the turn) in hundredths of a degree, as the flight displays show
// them: pitch as a sign and four digits held to 4500, its sign turned round after the field is
// formed (the simulator's pitch grows nose-down, the display's nose-up), so level flight shows
// "-0000"; bank as a sign and five digits, not held ("+00000" level).
std::string PitchHundredthsText(int32_t angle);
std::string BankHundredthsText(int32_t angle);

// Pitch and bank in whole degrees as the single-engine panels show them: "0" or "-" and three
// digits. The pitch scale ends at 35 degrees either way; bank is shown all round ("-045",
// "0180").
std::string PitchDegreesText(int32_t angle);
std::string BankDegreesText(int32_t angle);

// Degrees north (10001750 x 2^32 units per 90 degrees) and east (2^64 units per turn), 15
// characters with 10 decimals: 0 gives "   0.0000000000", -180 degrees "-180.0000000000".
std::string LatitudeText(int64_t raw);
std::string LongitudeText(int64_t raw);

}  // namespace tavelor
