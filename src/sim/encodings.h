// The simulator's encodings of angles and small signed values, for everything the stand-in
// writes: the flight, the pilot's script and the control channel's values in cockpit units.
#pragma once

#include <cmath>
#include <cstdint>

#include "simlink/units.h"

namespace tavelor::sim {

// 2^32 units to a full turn, signed: attitude.
inline int32_t Angle32(double degrees) {
  return static_cast<int32_t>(static_cast<int64_t>(std::llround(degrees / 360 * 4294967296.0)));
}
inline double DegreesOf32(int32_t units) { return units * 360.0 / 4294967296.0; }

// 65536 units to a full turn: headings, bearings and the wind. A full 360 stays just below the
// turn, so it reads back as 360 rather than 0.
inline uint16_t Angle16(double degrees) {
  if (degrees < 0 || degrees > 360) {
    degrees = std::fmod(degrees, 360.0);
    if (degrees < 0) degrees += 360;
  }
  const long units = std::lround(degrees * 65536 / 360);
  return static_cast<uint16_t>(units > 65535 ? 65535 : units);
}
inline double DegreesOf16(uint16_t units) { return units * 360.0 / 65536; }

// Position: 10001750 x 2^32 units to 90 degrees of latitude, 2^64 to the turn of longitude.
inline int64_t LatitudeUnits(double degrees) {
  return static_cast<int64_t>(std::llround(degrees * units::kLatitudeUnitsPer90Degrees / 90 * 4294967296.0L));
}
inline double LatitudeOf(int64_t units) {
  return static_cast<double>(units / 4294967296.0L / (units::kLatitudeUnitsPer90Degrees / 90));
}
inline int64_t LongitudeUnits(double degrees) {
  constexpr long double kTurn = 18446744073709551616.0L;  // 2^64
  long double units = std::round(degrees / 360.0L * kTurn);
  if (units >= kTurn / 2) units -= kTurn;  // 180 east is 180 west
  return static_cast<int64_t>(units);
}
inline double LongitudeOf(int64_t units) { return static_cast<double>(units / 18446744073709551616.0L * 360); }

// Two's complement in 16 bits, as the simulator keeps small signed values.
inline uint16_t Signed16(double value) {
  return static_cast<uint16_t>(static_cast<int32_t>(std::lround(value)));
}

}  // namespace tavelor::sim
