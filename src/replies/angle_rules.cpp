#include "replies/angle_rules.h"

#include "replies/field_forms.h"
#include "simlink/units.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr uint64_t kPitchHundredthsMax = 4500;  // the flight display's pitch scale ends at 45
constexpr int64_t kPitchDegreesMax = 35;        // the single-engine attitude scale's end

// Pitch and bank in hundredths of a degree; the angle in degrees is held as a 64-bit real.
int64_t AttitudeHundredths(int32_t angle) {
  const double degrees = static_cast<double>(angle * 360.0L / units::kAttitudeUnitsPerTurn);
  return RoundExtended(degrees * 100.0L);
}

// Whole degrees of an attitude angle, as sign and magnitude.
struct Attitude {
  bool negative;
  int64_t degrees;
};
Attitude AttitudeDegrees(int32_t angle) {
  const int64_t v = NearestWhole(angle * 360.0L / units::kAttitudeUnitsPerTurn);
  return {v < 0, v < 0 ? -v : v};
}

}  // namespace

std::string HeadingHundredthsText(double degrees) {
  return PaddedDec(RoundExtended(static_cast<long double>(degrees) * 100), 5);
}

std::string AngleHundredthsText(uint16_t angle) {
  const long double degrees = angle * 360.0L / units::kAngleUnitsPerTurn;
  return PaddedDec(RoundExtended(degrees * 100), 5);
}

int64_t WholeDegrees(uint16_t angle) {
  // The angle times 360 is a whole number, so the quotient is exact before it is rounded.
  return RoundExtended(static_cast<long double>(int32_t{angle} * 360) / units::kAngleUnitsPerTurn);
}

std::string WholeDegreesText(uint16_t angle) { return PaddedDec(WholeDegrees(angle), 3); }

std::string NearestDegreeText(double degrees) { return PaddedDec(NearestWhole(degrees), 3); }

std::string MagText(uint16_t raw) {
  int64_t degrees = WholeDegrees(raw);
  std::string sign = "0";
  if (degrees > 180) {  // west of north
    degrees = 360 - degrees;
    sign = "-";
  }
  return sign + PaddedDec(degrees, 2);
}

std::string PitchHundredthsText(int32_t angle) {
  std::string text = SignedField(AttitudeHundredths(angle), 4, kPitchHundredthsMax);
  text[0] = text[0] == '+' ? '-' : '+';
  return text;
}

std::string BankHundredthsText(int32_t angle) { return SignedField(AttitudeHundredths(angle), 5); }

std::string PitchDegreesText(int32_t angle) {
  const Attitude pitch = AttitudeDegrees(angle);
  return SignedText(pitch.negative, DecText(AtMost(pitch.degrees, kPitchDegreesMax)), 3, '0');
}

std::string BankDegreesText(int32_t angle) {
  const Attitude bank = AttitudeDegrees(angle);
  return SignedText(bank.negative, DecText(bank.degrees), 3, '0');
}

// Position steps are each stored as a 64-bit real, so the last decimals are the ones the
// panels have always shown.
std::string LatitudeText(int64_t raw) {
  double v = static_cast<double>(raw);
  v = v * 90;
  v = v / units::kLatitudeUnitsPer90Degrees;
  v = v / 65536;
  v = v / 65536;
  return FixedText(v, 15, 10);
}

std::string LongitudeText(int64_t raw) {
  double v = static_cast<double>(raw);
  v = v * 360;
  for (int i = 0; i < 4; ++i) v = v / 65536;
  return FixedText(v, 15, 10);
}

}  // namespace tavelor
