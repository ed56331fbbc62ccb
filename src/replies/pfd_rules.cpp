#include "replies/pfd_rules.h"

#include "replies/hsi_rules.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

// Factors exactly as the panels have always used them.
constexpr long double kNauticalMilesPerMetre = 0.000539957L;
constexpr long double kFeetPerMetre = 3.28084L;
constexpr long double kFeetPerMinutePerSpeedUnit = 0.768946875L;  // 60 x 3.28084 / 256
constexpr long double kKnotsPerMetrePerSecond = 1.9438444924406047L;  // 3600 / 1852
constexpr long double kHundredthsKnotPerSpeedUnit = 1.28L;  // knots x 128 over hundredths
constexpr long double kAttitudeUnitsPerTurn = 4294967296.0L;  // 2^32
constexpr long double kScale65536 = 65536;
constexpr long double kKnotsScale = 128;
constexpr long double kMachScale = 20480;
constexpr long double kQnhScale = 16;
constexpr long double kTemperatureScale = 256;

constexpr int64_t kAirspeedHundredthsMax = 50000;
constexpr uint64_t kAceMax = 99;
constexpr uint64_t kVerticalSpeedMax = 4100;
constexpr uint64_t kPitchMax = 4500;
constexpr int64_t kRadioAltitudeMax = 99999;
constexpr int64_t kThreeDigitMax = 999;
constexpr uint16_t kDmeNoLock = 3000;                  // tenths
constexpr uint16_t kVerticalSpeedPositiveMax = 8000;  // above it the target is negative
constexpr uint16_t kTemperaturePositiveMax = 30000;   // above it the reading is negative
constexpr int64_t kTemperatureMax = 99;
constexpr int32_t kAdfSignalThreshold = 10;
constexpr int64_t kGpsDistanceTenthsMax = 9999;
constexpr int32_t kGpsTimeToGoMax = 5940;  // 99 minutes

int64_t AtMost(int64_t n, int64_t max) { return n > max ? max : n; }

// Pitch and bank in hundredths of a degree; the angle in degrees is held as a 64-bit real.
int64_t AttitudeHundredths(int32_t angle) {
  const double degrees = static_cast<double>(angle * 360.0L / kAttitudeUnitsPerTurn);
  return RoundExtended(degrees * 100.0L);
}

}  // namespace

std::string SignedField(int64_t n, size_t digits, uint64_t clamp) {
  // The magnitude is formed unsigned: the most negative 64-bit value has no signed opposite.
  uint64_t magnitude = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  if (magnitude > clamp) magnitude = clamp;
  return (n < 0 ? "-" : "+") + PadLeft(std::to_string(magnitude), digits, '0');
}

std::string AirspeedHundredthsText(int32_t knots128) {
  return PaddedDec(AtMost(RoundExtended(knots128 / kHundredthsKnotPerSpeedUnit), kAirspeedHundredthsMax), 5);
}

std::string AceText(double value) {
  return SignedField(RoundExtended(static_cast<long double>(value) * 10), 2, kAceMax);
}

std::string VerticalSpeedText(int32_t metresPerSecond256) {
  return SignedField(RoundExtended(metresPerSecond256 * kFeetPerMinutePerSpeedUnit), 4,
                     kVerticalSpeedMax);
}

std::string AltitudeText(uint16_t feet) { return PaddedDec(feet, 5); }

std::string PitchText(int32_t angle) {
  std::string text = SignedField(AttitudeHundredths(angle), 4, kPitchMax);
  text[0] = text[0] == '+' ? '-' : '+';
  return text;
}

std::string BankText(int32_t angle) {
  return SignedField(AttitudeHundredths(angle), 5);
}

std::string RadioAltitudeText(uint32_t metres65536) {
  return PaddedDec(AtMost(RoundExtended(metres65536 * kFeetPerMetre / kScale65536), kRadioAltitudeMax), 5);
}

std::string MachText(uint16_t mach20480) {
  return PaddedDec(RoundExtended(mach20480 / kMachScale * 100), 3);
}

std::string GroundSpeedText(int32_t metresPerSecond65536) {
  const long double knots = metresPerSecond65536 / kScale65536 * kKnotsPerMetrePerSecond;
  return PaddedDec(AtMost(RoundExtended(knots), kThreeDigitMax), 3);
}

std::string QnhText(uint16_t millibars16) {
  return PaddedDec(RoundExtended(millibars16 / kQnhScale), 4);
}

std::string DmeTenthsText(uint16_t tenths) { return PaddedDec(tenths > kDmeNoLock ? 0 : tenths, 4); }

std::string TenthsAsWholeText(uint16_t tenths) {
  return PaddedDec(RoundExtended(tenths / 10.0L), 4);
}

std::string ApVerticalSpeedLongText(uint16_t raw) {
  if (raw > kVerticalSpeedPositiveMax) return "-" + PaddedDec(65536 - raw, 4);
  return "+" + PaddedDec(raw, 4);
}

std::string TrueAirspeedText(int32_t knots128) {
  return PaddedDec(AtMost(RoundExtended(knots128 / kKnotsScale), kThreeDigitMax), 3);
}

std::string BarberPoleText(int32_t knots128) {
  return PaddedDec(RoundExtended(knots128 / kKnotsScale), 3);
}

std::string OutsideAirTempText(uint16_t raw) {
  const bool negative = raw > kTemperaturePositiveMax;
  const int64_t magnitude = negative ? 65536 - raw : raw;
  const int64_t degrees = AtMost(RoundExtended(magnitude / kTemperatureScale), kTemperatureMax);
  return (negative ? "-" : "+") + PaddedDec(degrees, 2);
}

std::string ApMachText(int32_t mach65536) {
  return PaddedDec(RoundExtended(mach65536 / kScale65536 * 100), 3);
}

std::string FlightDirectorValueText(double value) {
  return SignedField(RoundExtended(static_cast<long double>(value) * 100), 4);
}

std::string ApAirspeedText(uint16_t knots) { return PaddedDec(AtMost(knots, kThreeDigitMax), 3); }

std::string AdfSignalFlagText(int32_t signal) { return signal > kAdfSignalThreshold ? "1" : "0"; }

std::string GpsDistanceTenthsText(double metres) {
  const long double nm = metres * kNauticalMilesPerMetre;
  return PaddedDec(AtMost(RoundExtended(nm * 10), kGpsDistanceTenthsMax), 4);
}

std::string GpsTimeToGoText(int32_t seconds) {
  return PaddedDec(seconds > kGpsTimeToGoMax ? kGpsTimeToGoMax : seconds, 4);
}

}  // namespace tavelor
