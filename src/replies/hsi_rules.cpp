#include "replies/hsi_rules.h"

#include <cmath>

#include "text/conversions.h"
#include "text/real_math.h"
#include "text/request_error.h"

namespace tavelor {

namespace {

// The unit factors exactly as the panels have always used them (not 1/1852 or 180/pi): the
// last digit of a reply depends on them.
constexpr double kNauticalMilesPerMetre = 0.000539957;
constexpr long double kNauticalMilesPerMetreX = 0.000539957L;
constexpr long double kFeetPerMetre = 3.28084L;
constexpr long double kDegreesPerRadian = 57.2958L;

constexpr long double kAngleUnitsPerTurn = 65536;  // 16-bit angles
constexpr long double kAltitudeScale = 65536;      // metres x 65536

constexpr double kNeedleFullScaleNm = 5;
constexpr double kNeedleFullScaleUnits = 127;

constexpr uint16_t kDmeNoLock = 65000;            // tenths; above it the receiver shows nothing
constexpr uint16_t kVerticalSpeedPositiveMax = 8000;  // above it the target is negative
constexpr uint16_t kWindSpeedMax = 99;                // two characters
constexpr int64_t kGpsDistanceHundredthsMax = 99999;  // five characters

}  // namespace

std::string IdentText(const offsets::Ident& bytes, DashSide side) {
  std::string text = TrimText(std::string(bytes.data(), bytes.size()));
  if (text.empty()) return "-----";
  if (text.size() > 5) return text.substr(0, 5);
  return side == DashSide::kAfter ? PadRight(text, 5, '-') : PadLeft(text, 5, '-');
}

std::string CrossTrackText(double metres) {
  // Each step is stored as a 64-bit real, as the needle's rule has it.
  double nm = metres * kNauticalMilesPerMetre;
  if (nm > kNeedleFullScaleNm) {
    nm = kNeedleFullScaleNm;
  } else if (nm < -kNeedleFullScaleNm || std::isnan(nm)) {
    nm = -kNeedleFullScaleNm;
  }
  const double units = nm * kNeedleFullScaleUnits / kNeedleFullScaleNm;
  int64_t m = RoundReal(units);
  if (m < 0) m += 256;
  return PadLeft(DecText(m), 3, '0');
}

std::string GpsCrossTrackText(double metres) {
  if (!std::isfinite(metres)) throw RequestError(kFpInvalid);
  return CrossTrackText(metres);
}

std::string PaddedDec(int64_t n, size_t width) { return PadLeft(DecText(n), width, '0'); }

std::string DegreesHundredthsText(double degrees) {
  return PaddedDec(RoundExtended(static_cast<long double>(degrees) * 100), 5);
}

std::string AngleHundredthsText(uint16_t angle) {
  const long double degrees = angle * 360.0L / kAngleUnitsPerTurn;
  return PaddedDec(RoundExtended(degrees * 100), 5);
}

std::string ThreeDigitText(uint32_t value) { return PaddedDec(value, 3); }

std::string DmeHundredthsText(uint16_t tenths) {
  const int64_t raw = tenths > kDmeNoLock ? 0 : tenths;
  return PaddedDec(raw * 10, 5);
}

int64_t WholeDegrees(uint16_t angle) {
  // The angle times 360 is a whole number, so the quotient is exact before it is rounded.
  return RoundExtended(static_cast<long double>(int32_t{angle} * 360) / kAngleUnitsPerTurn);
}

std::string WholeDegreesText(uint16_t angle) { return PaddedDec(WholeDegrees(angle), 3); }

std::string ApSwitchesText(std::initializer_list<uint32_t> switches) {
  std::string text;
  for (uint32_t on : switches) text += DecText(on);
  return text;
}

std::string ApAltitudeText(int32_t metres65536) {
  return PaddedDec(RoundExtended(metres65536 * kFeetPerMetre / kAltitudeScale), 5);
}

std::string ApVerticalSpeedText(uint16_t raw) {
  char sign = '+';
  int64_t magnitude = raw;
  if (raw > kVerticalSpeedPositiveMax) {
    magnitude = 65536 - magnitude;
    sign = '-';
  }
  std::string digits = DecText(magnitude);
  if (digits.size() > 4) digits = "9999";  // the panel has room for four digits only
  return sign + PadLeft(digits, 4, '0');
}

std::string MarkerText(uint16_t outer, uint16_t middle, uint16_t inner) {
  return DecText(outer) + DecText(middle) + DecText(inner);
}

std::string WindSpeedText(uint16_t knots) {
  return PaddedDec(knots > kWindSpeedMax ? kWindSpeedMax : knots, 2);
}

std::string GpsDistanceHundredthsText(double metres) {
  const long double nm = metres * kNauticalMilesPerMetreX;
  int64_t n = RoundExtended(nm * 100);
  if (n > kGpsDistanceHundredthsMax) n = kGpsDistanceHundredthsMax;
  return PaddedDec(n, 5);
}

std::string GpsCourseText(double radians) {
  return PaddedDec(RoundExtended(radians * kDegreesPerRadian), 3);
}

}  // namespace tavelor
