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
// The nautical mile itself. The panels' factors above are its rounded forms; the stand-in's
// flight, which no reply's last digit depends on, works from it.
inline constexpr double kMetresPerNauticalMile = 1852;

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
// An engine gauge's word at full scale, and what that stands for on each gauge.
inline constexpr long double kGaugeFullScale = 16384;
inline constexpr long double kEgtFullScale = 860;             // degrees C of exhaust gas
inline constexpr long double kOilTemperatureFullScale = 140;  // degrees C
inline constexpr long double kOilPressureFullScale = 55;      // psi
inline constexpr long double kFuelFlow128 = 128;      // fuel flow: the gauge's unit x 128
inline constexpr double kInHg1024 = 1024;             // manifold pressure: inches of mercury x 1024
inline constexpr double kPsi144 = 144;                // fuel pressure: psi x 144

}  // namespace tavelor::units
