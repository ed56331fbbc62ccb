#include "replies/gps_rules.h"

#include <cmath>

#include "replies/field_forms.h"
#include "simlink/units.h"
#include "text/real_math.h"
#include "text/request_error.h"

namespace tavelor {

namespace {

constexpr int64_t kDistanceHundredthsMax = 99999;  // five characters
constexpr int64_t kDistanceTenthsMax = 9999;       // four characters
constexpr int32_t kTimeToGoMax = 5940;             // 99 minutes
constexpr double kNeedleFullScaleNm = 5;
constexpr double kNeedleFullScaleUnits = 127;

}  // namespace

std::string GpsDistanceHundredthsText(double metres) {
  const long double nm = metres * units::kNauticalMilesPerMetre;
  return PaddedDec(AtMost(RoundExtended(nm * 100), kDistanceHundredthsMax), 5);
}

std::string GpsDistanceTenthsText(double metres) {
  const long double nm = metres * units::kNauticalMilesPerMetre;
  return PaddedDec(AtMost(RoundExtended(nm * 10), kDistanceTenthsMax), 4);
}

std::string GpsDistanceTenthsStepwiseText(double metres) {
  double nm = RealMul(metres, static_cast<double>(units::kNauticalMilesPerMetre));
  nm = RealMul(nm, 10);
  return PaddedDec(AtMost(RoundReal(nm), kDistanceTenthsMax), 4);
}

std::string TimeToGoText(int32_t seconds) { return PaddedDec(AtMost(seconds, kTimeToGoMax), 4); }

std::string GpsCourseText(double radians) {
  return PaddedDec(RoundExtended(radians * units::kDegreesPerRadian), 3);
}

std::string GpsCourseStepwiseText(double radians) {
  return PaddedDec(RoundReal(RealMul(radians, static_cast<double>(units::kDegreesPerRadian))), 3);
}

std::string CrossTrackText(double metres) {
  // Each step is stored as a 64-bit real, as the needle's rule has it.
  double nm = metres * static_cast<double>(units::kNauticalMilesPerMetre);
  if (nm > kNeedleFullScaleNm) {
    nm = kNeedleFullScaleNm;
  } else if (nm < -kNeedleFullScaleNm || std::isnan(nm)) {
    nm = -kNeedleFullScaleNm;
  }
  const double needle = nm * kNeedleFullScaleUnits / kNeedleFullScaleNm;
  int64_t m = RoundReal(needle);
  if (m < 0) m += 256;
  return PaddedDec(m, 3);
}

std::string GpsCrossTrackText(double metres) {
  if (!std::isfinite(metres)) throw RequestError(kFpInvalid);
  return CrossTrackText(metres);
}

}  // namespace tavelor
