// The conversions of the PFD panel that the extended PFD reply uses unchanged. Rounding,
// zero-filling and real faults as in hsi_rules.h.
//
// A signed field is "+" or "-" followed by the magnitude, held to its clamp and zero-filled to
// its digits; zero shows "+".
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace tavelor {

inline constexpr uint64_t kNoClamp = std::numeric_limits<uint64_t>::max();

// Sign and magnitude of n, the magnitude held to `clamp` and zero-filled to `digits`.
std::string SignedField(int64_t n, size_t digits, uint64_t clamp = kNoClamp);

// Indicated airspeed (knots x 128) as hundredths of a knot, five characters, held to 50000.
std::string AirspeedHundredthsText(int32_t knots128);

// The value the panel labels Ace, in tenths: sign and two digits, held to 99.
std::string AceText(double value);

// Vertical speed (metres per second x 256) in feet per minute: sign and four digits, held to
// 4100.
std::string VerticalSpeedText(int32_t metresPerSecond256);

// The 16-bit altitude reading, five characters, never clamped.
std::string AltitudeText(uint16_t feet);

// Pitch (2^32 to the turn) in hundredths of a degree: sign and four digits, held to 4500. The
// sign is turned round after the field is formed (the simulator's pitch grows nose-down, the
// panel's nose-up), so level flight shows "-0000" while level bank shows "+00000".
std::string PitchText(int32_t angle);

// Bank (2^32 to the turn) in hundredths of a degree: sign and five digits.
std::string BankText(int32_t angle);

// Radio altitude (metres x 65536) in feet, five characters, held to 99999.
std::string RadioAltitudeText(uint32_t metres65536);

// Mach number (Mach x 20480) in hundredths, three characters.
std::string MachText(uint16_t mach20480);

// Ground speed (metres per second x 65536) in knots, three characters, held to 999.
std::string GroundSpeedText(int32_t metresPerSecond65536);

// Altimeter setting (millibars x 16) in whole millibars, four characters.
std::string QnhText(uint16_t millibars16);

// A DME distance in tenths of a nautical mile, unscaled, four characters; above 3000 the
// receiver has no lock and shows "0000".
std::string DmeTenthsText(uint16_t tenths);

// A reading in tenths as whole units, four characters.
std::string TenthsAsWholeText(uint16_t tenths);

// The autopilot vertical speed target as a sign and at least four digits, with no "9999"
// replacement: a magnitude of five digits makes the field longer.
std::string ApVerticalSpeedLongText(uint16_t raw);

// True airspeed or barber-pole speed (knots x 128) in whole knots, three characters; the true
// airspeed is held to 999, the barber pole is not clamped.
std::string TrueAirspeedText(int32_t knots128);
std::string BarberPoleText(int32_t knots128);

// Outside air temperature (degrees C x 256, negative above 30000): sign and two digits, held
// to 99.
std::string OutsideAirTempText(uint16_t raw);

// The autopilot Mach target (Mach x 65536) in hundredths, three characters.
std::string ApMachText(int32_t mach65536);

// A flight director value in hundredths: sign and at least four digits.
std::string FlightDirectorValueText(double value);

// The autopilot airspeed target in knots, three characters, held to 999.
std::string ApAirspeedText(uint16_t knots);

// "1" when the ADF receives a usable signal (above 10), else "0".
std::string AdfSignalFlagText(int32_t signal);

// The distance to the next GPS waypoint (metres) as tenths of a nautical mile in four
// characters, held to 9999.
std::string GpsDistanceTenthsText(double metres);

// The time to the next GPS waypoint in seconds, four characters, held to 5940.
std::string GpsTimeToGoText(int32_t seconds);

}  // namespace tavelor
