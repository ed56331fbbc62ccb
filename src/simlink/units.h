// How the simulator scales the values it keeps, and the factors that turn them into cockpit
// units, named once. The factors are written exactly as the panels have always used them (not
// 1/1852 or 180/pi): the last digit of a reply depends on them.
#pragma once

#include <cstdint>

namespace tavelor::units {

inline constexpr long double kFeetPerMetre = 3.28084L;
inline constexpr long double kNauticalMilesPerMetre = 0.000539957L;
inline constexpr long double kDegreesPerRadian = 57.2958L;
inline constexpr long double kKnotsPerMetrePerSecond = 1.9438444924406047L;  // 3600 / 1852
// Vertical speed (metres per second x 256) to feet per minute: 60 x 3.28084 / 256.
inline constexpr long double kFeetPerMinutePerVerticalSpeedUnit = 0.768946875L;

// The simulator's scales.
inline constexpr int64_t kAngleUnitsPerTurn = 65536;            // 16-bit headings and bearings
inline constexpr long double kAttitudeUnitsPerTurn = 4294967296.0L;  // pitch and bank: 2^32
inline constexpr long double kUnitsPer65536 = 65536;  // metres, metres per second and Mach x 65536
inline constexpr long double kKnots128 = 128;         // airspeeds: knots x 128
inline constexpr long double kMach20480 = 20480;      // the Mach number: Mach x 20480
inline constexpr long double kHpa16 = 16;             // the altimeter setting: hPa x 16
inline constexpr long double kDegreesC256 = 256;      // temperatures: degrees C x 256
inline constexpr double kLatitudeUnitsPer90Degrees = 10001750;  // times 2^32
inline constexpr long double kFullTank = 8388608;     // a tank's level at 100 %
inline constexpr long double kGaugeFullScale = 16384;  // an engine gauge's word at full scale

}  // namespace tavelor::units
