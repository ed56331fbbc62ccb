#include "replies/map_rules.h"

#include <algorithm>

#include "replies/hsi_rules.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr double kLatitudeUnitsPer90Degrees = 10001750;  // times 2^32
constexpr long double kFeetPerMetre = 3.28084L;
constexpr int64_t kMaxRadioAltitude = 9999;

}  // namespace

// Position steps are each stored as a 64-bit real, so the last decimals are the ones the
// panels have always shown.
std::string LatitudeText(int64_t raw) {
  double v = static_cast<double>(raw);
  v = v * 90;
  v = v / kLatitudeUnitsPer90Degrees;
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

std::string RadAltText(uint32_t raw) {
  const int64_t feet = RoundExtended(static_cast<long double>(raw) * kFeetPerMetre / 65536);
  return PadLeft(DecText(std::min(feet, kMaxRadioAltitude)), 4, '0');
}

std::string MagText(uint16_t raw) {
  int64_t degrees = WholeDegrees(raw);
  std::string sign = "0";
  if (degrees > 180) {  // west of north
    degrees = 360 - degrees;
    sign = "-";
  }
  return sign + PadLeft(DecText(degrees), 2, '0');
}

std::string GpsIdText(const offsets::Ident& bytes) {
  const std::string text = TrimText(std::string(bytes.data(), bytes.size()));
  if (text.empty()) return "     ";
  if (text.size() > 5) return text.substr(0, 5);
  return PadRight(text, 5, ' ');
}

}  // namespace tavelor
