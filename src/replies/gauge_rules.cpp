#include "replies/gauge_rules.h"

#include "replies/field_forms.h"
#include "simlink/units.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr int64_t kTachometerEnd = 3500;              // RPM
constexpr uint16_t kTemperaturePositiveMax = 30000;  // above it the reading is below zero
constexpr int64_t kTemperatureMax = 99;              // two digits
constexpr uint64_t kAceMax = 99;                     // two digits

std::string GaugeText(uint16_t raw, long double fullScale) {
  return PaddedDec(NearestWhole(raw * fullScale / units::kGaugeFullScale), 3);
}

}  // namespace

std::string LightSwitchesText(uint16_t lights) { return BitString(lights, 10).substr(4, 6); }

std::string ElectrText(uint8_t fuelPump, uint16_t lights, uint8_t pitotHeat) {
  return DecText(fuelPump) + LightSwitchesText(lights) + DecText(pitotHeat);
}

std::string FuelTankText(int32_t level) {
  const auto percentTimes100 = static_cast<int32_t>(static_cast<int64_t>(level) * 100);
  return PaddedDec(NearestWhole(percentTimes100 / units::kFullTank), 3);
}

std::string EgtText(uint16_t raw) { return GaugeText(raw, units::kEgtFullScale); }
std::string OilTemperatureText(uint16_t raw) { return GaugeText(raw, units::kOilTemperatureFullScale); }
std::string OilPressureText(uint16_t raw) { return GaugeText(raw, units::kOilPressureFullScale); }

std::string FuelFlowText(int32_t raw) { return PaddedDec(NearestWhole(raw / units::kFuelFlow128), 3); }

std::string VacuumText(double suction) { return PaddedDec(NearestWhole(suction * 10.0L), 2); }

std::string AmmeterText(double amps) {
  // The sign is the reading's, before rounding: -0.4 shows "-00". NaN is not below zero;
  // rounding it then ends the request.
  const bool negative = amps < 0;
  const long double magnitude = negative ? -static_cast<long double>(amps) : amps;
  return SignedText(negative, DecText(NearestWhole(magnitude)), 2, '0');
}

std::string RpmText(double rpm) { return PaddedDec(Clamp(NearestWhole(rpm), 0, kTachometerEnd), 4); }

std::string OutsideAirTempText(uint16_t raw, char positive) {
  const int32_t word = SignedWord(raw, kTemperaturePositiveMax);
  const int32_t magnitude = word < 0 ? -word : word;
  const int64_t degrees = AtMost(RoundExtended(magnitude / units::kDegreesC256), kTemperatureMax);
  return SignedText(word < 0, DecText(degrees), 2, positive);
}

std::string AceText(double value) {
  return SignedField(RoundExtended(static_cast<long double>(value) * 10), 2, kAceMax);
}

std::string FlightDirectorValueText(double value) {
  return SignedField(RoundExtended(static_cast<long double>(value) * 100), 4);
}

}  // namespace tavelor
