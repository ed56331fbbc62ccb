#include "replies/speed_rules.h"

#include "replies/field_forms.h"
#include "simlink/units.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr int64_t kAirspeedHundredthsMax = 50000;
constexpr int64_t kAirspeedDialEnd = 500;     // knots
constexpr int64_t kThreeDigitMax = 999;
constexpr uint64_t kDisplayVerticalSpeedMax = 4100;  // feet per minute
constexpr int64_t kVsiStop = 2100;                   // feet per minute, either way
constexpr uint16_t kApVerticalSpeedPositiveMax = 8000;  // above it the target is a descent
constexpr int64_t kWindSpeedMax = 99;                   // two characters

int64_t FeetPerMinute(int32_t metresPerSecond256) {
  return RoundExtended(metresPerSecond256 * units::kFeetPerMinutePerVerticalSpeedUnit);
}

}  // namespace

std::string AirspeedHundredthsText(int32_t knots128) {
  // Knots x 128 over hundredths of a knot: 1.28.
  const int64_t hundredths = RoundExtended(knots128 / (units::kKnots128 / 100));
  return PaddedDec(AtMost(hundredths, kAirspeedHundredthsMax), 5);
}

std::string AirspeedKnotsText(int32_t knots128) {
  return PaddedDec(AtMost(NearestWhole(knots128 / units::kKnots128), kAirspeedDialEnd), 3);
}

std::string TrueAirspeedText(int32_t knots128) {
  return PaddedDec(AtMost(RoundExtended(knots128 / units::kKnots128), kThreeDigitMax), 3);
}

std::string BarberPoleText(int32_t knots128) {
  return PaddedDec(RoundExtended(knots128 / units::kKnots128), 3);
}

std::string GroundSpeedText(int32_t metresPerSecond65536) {
  const long double knots =
      metresPerSecond65536 / units::kUnitsPer65536 * units::kKnotsPerMetrePerSecond;
  return PaddedDec(AtMost(RoundExtended(knots), kThreeDigitMax), 3);
}

std::string ApMachText(int32_t mach65536) {
  return PaddedDec(RoundExtended(mach65536 / units::kUnitsPer65536 * 100), 3);
}

std::string ApAirspeedText(uint16_t knots) { return PaddedDec(AtMost(knots, kThreeDigitMax), 3); }

std::string VerticalSpeedText(int32_t metresPerSecond256) {
  return SignedField(FeetPerMinute(metresPerSecond256), 4, kDisplayVerticalSpeedMax);
}

std::string VsiText(int32_t metresPerSecond256) {
  const int64_t feetPerMinute = static_cast<int32_t>(FeetPerMinute(metresPerSecond256));
  const int64_t magnitude = feetPerMinute < 0 ? -feetPerMinute : feetPerMinute;
  return SignedText(feetPerMinute < 0, DecText(AtMost(magnitude, kVsiStop)), 4, '0');
}

std::string ApVerticalSpeedText(uint16_t raw) {
  const int32_t feetPerMinute = SignedWord(raw, kApVerticalSpeedPositiveMax);
  std::string digits = DecText(feetPerMinute < 0 ? -feetPerMinute : feetPerMinute);
  if (digits.size() > 4) digits = "9999";  // the panel has room for four digits only
  return SignedText(feetPerMinute < 0, digits, 4, '+');
}

std::string ApVerticalSpeedLongText(uint16_t raw) {
  const int32_t feetPerMinute = SignedWord(raw, kApVerticalSpeedPositiveMax);
  const int32_t magnitude = feetPerMinute < 0 ? -feetPerMinute : feetPerMinute;
  return SignedText(feetPerMinute < 0, DecText(magnitude), 4, '+');
}

std::string WindSpeedText(uint16_t knots) { return PaddedDec(AtMost(knots, kWindSpeedMax), 2); }

}  // namespace tavelor
