// The gauge and instrument texts the two single-engine panels (C172 and C177) share. Each rule
// lives here once and both builders call it, so the panels can never drift apart on a field
// they have in common.
//
// Rounding: nearest whole number, halves to the even neighbour, formed in extended precision;
// of the whole number only its low 32 bits count, as a signed number (a real beyond 2^31 wraps
// as the panels have always shown it). NaN, infinities and reals beyond the 64-bit range end
// the request with "Invalid floating point operation".
//
// Widths: "zero-padded to n" (PaddedDec of the HSI rules) fills with "0" in front up to n
// characters; a minus sign counts, a longer text stays whole. A signed text puts "0" (zero or
// positive) or "-" (negative) in front of the zero-padded magnitude, so it is one character
// wider and never shows "+".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavelor {

// Nearest whole number of x as above: RoundExtended, then the low 32 bits as signed.
int32_t NearestWhole(long double x);


// "0" or "-" and the magnitude zero-padded to width: SignedText(true, 3, 3) is "-003".
std::string SignedText(bool negative, int64_t magnitude, size_t width);

// Battery then alternator switch, one digit each: "11".
std::string MasterText(uint8_t battery, uint8_t alternator);

// Fuel pump digit, the six light switches (bits 5 down to 0, as the light command takes them),
// pitot heat digit: pump 1, lights 0x25, pitot 0 give "11001010".
std::string ElectrText(uint8_t fuelPump, uint16_t lights, uint8_t pitotHeat);

// Tank level in percent, 8388608 = 100 %, three digits. The level times 100 is taken as a 32-bit
// integer, as the panels always have: a level beyond 256 % wraps.
std::string FuelTankText(int32_t level);

// Engine gauges from their 16384-is-full-scale raw words, three digits each.
std::string EgtText(uint16_t raw);              // 16384 = 860 degrees C
std::string OilTemperatureText(uint16_t raw);   // 16384 = 140 degrees C
std::string OilPressureText(uint16_t raw);      // 16384 = 55 psi

// Fuel flow value over 128, three digits.
std::string FuelFlowText(int32_t raw);

// Suction gauge in tenths, two digits: 4.96 gives "50".
std::string VacuumText(double suction);

// Ammeter in whole units, signed with two digits: 5.0 gives "005", -0.4 gives "-00".
std::string AmmeterText(double amps);

// Indicated airspeed from knots x 128, held at 500 knots (the dial's end), three digits.
std::string AirspeedText(int32_t knots128);

// Vertical speed from metres per second x 256 in feet per minute, held to 2100 either way (the
// needle's stops), signed with four digits: "00689", "-1500", "02100".
std::string VsiText(int32_t metresPerSecond256);

// Engine RPM held to 0..3500 (the tachometer's scale), four digits.
std::string RpmText(double rpm);

// A real in degrees (the gyro compass heading, a cylinder head temperature) to the nearest
// degree, three digits.
std::string NearestDegreeText(double degrees);

// Attitude from 2^32 units per full circle in whole degrees, signed with three digits. The
// pitch scale ends at 35 degrees either way; bank is shown all round ("-045", "0180").
std::string AttitudePitchText(int32_t units);
std::string AttitudeBankText(int32_t units);

}  // namespace tavelor
