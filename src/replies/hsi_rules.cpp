#include "replies/hsi_rules.h"

#include <cmath>

#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {
constexpr double kNauticalMilesPerMetre = 0.000539957;
constexpr double kNeedleFullScaleNm = 5;
constexpr double kNeedleFullScaleUnits = 127;
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

}  // namespace tavelor
