#include "replies/altitude_rules.h"

#include "replies/field_forms.h"
#include "simlink/units.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

long double Feet(long double metres65536) {
  return metres65536 * units::kFeetPerMetre / units::kUnitsPer65536;
}

}  // namespace

std::string RadioAltitudeText(uint32_t metres65536, size_t digits) {
  int64_t most = 1;
  for (size_t i = 0; i < digits; ++i) most *= 10;
  return PaddedDec(AtMost(RoundExtended(Feet(metres65536)), most - 1), digits);
}

std::string ApAltitudeText(int32_t metres65536) {
  return PaddedDec(RoundExtended(Feet(metres65536)), 5);
}

std::string QnhText(uint16_t hpa16) { return PaddedDec(RoundExtended(hpa16 / units::kHpa16), 4); }

}  // namespace tavelor
