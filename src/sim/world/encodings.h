// The simulator's encodings of the values the stand-in writes, both ways, for everything it
// writes: the flight, the pilot's script, the parked aircraft and the control channel's values
// in cockpit units. The scales come from simlink/units.h, so the stand-in and the panels' rules
// cannot disagree on one.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

#include "simlink/units.h"

namespace tavelor::sim {

// The stand-in's geometry is exact; the panels' rules keep their rounded 57.2958 on purpose.
inline double Radians(double degrees) { return degrees * std::numbers::pi / 180; }
inline double Degrees(double radians) { return radians * 180 / std::numbers::pi; }

inline constexpr double kFeetPerNauticalMile =
    units::kMetresPerNauticalMile * static_cast<double>(units::kFeetPerMetre);

// 2^32 units to a full turn, signed: attitude.
inline int32_t Angle32(double degrees) {
  return static_cast<int32_t>(static_cast<int64_t>(std::llround(degrees / 360 * units::kAttitudeUnitsPerTurn)));
}
inline double DegreesOf32(int32_t raw) {
  return static_cast<double>(raw * 360.0L / units::kAttitudeUnitsPerTurn);
}

// 65536 units to a full turn: headings, bearings and the wind. A full 360 stays just below the
// turn, so it reads back as 360 rather than 0.
inline uint16_t Angle16(double degrees) {
  if (degrees < 0 || degrees > 360) {
    degrees = std::fmod(degrees, 360.0);
    if (degrees < 0) degrees += 360;
  }
  const long raw = std::lround(degrees * units::kAngleUnitsPerTurn / 360);
  return static_cast<uint16_t>(raw >= units::kAngleUnitsPerTurn ? units::kAngleUnitsPerTurn - 1 : raw);
}
inline double DegreesOf16(uint16_t raw) { return raw * 360.0 / units::kAngleUnitsPerTurn; }

// Position: 10001750 x 2^32 units to 90 degrees of latitude, 2^64 to the turn of longitude.
inline constexpr long double k2To32 = 4294967296.0L;
inline constexpr long double k2To64 = k2To32 * k2To32;
inline int64_t LatitudeUnits(double degrees) {
  return static_cast<int64_t>(std::llround(degrees * units::kLatitudeUnitsPer90Degrees / 90 * k2To32));
}
inline double LatitudeOf(int64_t raw) {
  return static_cast<double>(raw / k2To32 / (units::kLatitudeUnitsPer90Degrees / 90));
}
inline int64_t LongitudeUnits(double degrees) {
  long double raw = std::round(degrees / 360.0L * k2To64);
  if (raw >= k2To64 / 2) raw -= k2To64;  // 180 east is 180 west
  return static_cast<int64_t>(raw);
}
inline double LongitudeOf(int64_t raw) { return static_cast<double>(raw / k2To64 * 360); }

// Two's complement in 16 bits, as the simulator keeps small signed values.
inline uint16_t Signed16(double value) {
  return static_cast<uint16_t>(static_cast<int32_t>(std::lround(value)));
}

// Binary-coded decimal, as the radios keep their digits: 1850 is 0x1850.
inline uint16_t Bcd(unsigned value) {  // its four low decimal digits
  unsigned bcd = 0;
  for (int shift = 0; shift <= 12; shift += 4, value /= 10) bcd |= value % 10 << shift;
  return static_cast<uint16_t>(bcd);
}
inline bool IsBcd(uint16_t bcd) {
  for (int shift = 0; shift <= 12; shift += 4)
    if ((bcd >> shift & 15) > 9) return false;
  return true;
}
inline unsigned BcdValue(uint16_t bcd) {  // a digit above 9 counts as what it is
  unsigned value = 0;
  for (int shift = 12; shift >= 0; shift -= 4) value = value * 10 + (bcd >> shift & 15);
  return value;
}

// A radio frequency as four BCD digits without the leading 1: 118.50 MHz is 0x1850.
inline uint16_t FrequencyBcd(double megahertz) {
  return Bcd(static_cast<unsigned>(std::lround(megahertz * 100) - 10000));
}
inline double MegahertzOfBcd(uint16_t bcd) { return (10000 + BcdValue(bcd)) / 100.0; }

// The ADF's frequency in tenths of a kilohertz: three BCD digits at 034C, and beside them the
// thousands digit in the high byte and the tenths in the low one (1024.5 is 0x0024, 0x0105).
struct AdfWords {
  uint16_t main, extended;
};
inline AdfWords AdfFrequency(uint32_t tenths) {
  return {Bcd(tenths / 10 % 1000), static_cast<uint16_t>((tenths / 10000) << 8 | tenths % 10)};
}
inline uint32_t AdfTenths(uint16_t main, uint16_t extended) {
  return (extended >> 8) * 10000u + BcdValue(main & 0x0FFF) * 10 + (extended & 0xFF);
}

// Heights and altitude targets: metres x 65536.
inline int32_t Metres65536(double feet) {
  return static_cast<int32_t>(std::lround(feet / static_cast<double>(units::kFeetPerMetre) * units::kUnitsPer65536));
}
inline double FeetOf65536(int32_t metres65536) {
  return static_cast<double>(metres65536 * units::kFeetPerMetre / units::kUnitsPer65536);
}

// Speeds: airspeeds knots x 128, the ground speed metres per second x 65536, the vertical
// speed metres per second x 256, the Mach number x 20480 (the autopilot's target x 65536).
inline int32_t Knots128(double knots) { return static_cast<int32_t>(std::lround(knots * units::kKnots128)); }
inline double KnotsOf128(int32_t knots128) { return static_cast<double>(knots128 / units::kKnots128); }
inline int32_t GroundSpeed65536(double knots) {
  return static_cast<int32_t>(std::lround(knots * units::kMetresPerNauticalMile / 3600 * units::kUnitsPer65536));
}
inline int32_t VerticalSpeed256(double feetPerMinute) {
  return static_cast<int32_t>(std::lround(feetPerMinute / units::kFeetPerMinutePerVerticalSpeedUnit));
}
inline double FeetPerMinuteOf256(int32_t metresPerSecond256) {
  return static_cast<double>(metresPerSecond256 * units::kFeetPerMinutePerVerticalSpeedUnit);
}
inline uint16_t Mach20480(double mach) { return static_cast<uint16_t>(std::lround(mach * units::kMach20480)); }
inline double MachOf20480(uint16_t mach20480) { return static_cast<double>(mach20480 / units::kMach20480); }
inline int32_t Mach65536(double mach) { return static_cast<int32_t>(std::lround(mach * units::kUnitsPer65536)); }
inline double MachOf65536(int32_t mach65536) { return static_cast<double>(mach65536 / units::kUnitsPer65536); }

// The air: temperatures degrees C x 256, signed; the altimeter setting hPa x 16.
inline uint16_t Celsius256(double celsius) { return Signed16(celsius * static_cast<double>(units::kDegreesC256)); }
inline double CelsiusOf256(uint16_t raw) { return static_cast<double>(static_cast<int16_t>(raw) / units::kDegreesC256); }
inline uint16_t Hpa16(double hectopascals) {
  return static_cast<uint16_t>(std::lround(hectopascals * units::kHpa16));
}
inline double HpaOf16(uint16_t raw) { return static_cast<double>(raw / units::kHpa16); }

// The engine: a tank's level from its fraction of full, a gauge's word from its reading.
inline int32_t TankLevel(double fraction) { return static_cast<int32_t>(std::lround(fraction * units::kFullTank)); }
inline double TankFraction(int32_t level) { return static_cast<double>(level / units::kFullTank); }
inline uint16_t GaugeWord(double reading, long double fullScale) {
  return static_cast<uint16_t>(std::lround(reading / fullScale * units::kGaugeFullScale));
}

}  // namespace tavelor::sim
