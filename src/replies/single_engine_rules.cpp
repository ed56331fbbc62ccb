#include "replies/single_engine_rules.h"

#include "replies/hsi_rules.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr long double kFullTank = 8388608;    // tank level of a full tank
constexpr long double kGaugeFullScale = 16384;  // raw word of a gauge at its full-scale value
constexpr long double kUnitsPerCircle32 = 4294967296.0L;
// Metres per second x 256 to feet per minute: 60 x 3.28084 / 256.
constexpr long double kVerticalSpeedToFeetPerMinute = 0.768946875L;

constexpr int64_t kAirspeedDialEnd = 500;     // knots
constexpr int64_t kVerticalSpeedStop = 2100;  // feet per minute, either way
constexpr int64_t kTachometerEnd = 3500;      // RPM
constexpr int64_t kPitchScaleEnd = 35;        // degrees, either way

std::string GaugeText(uint16_t raw, long double fullScale) {
  return PaddedDec(NearestWhole(raw * fullScale / kGaugeFullScale), 3);
}

// Whole degrees of a 2^32-per-circle angle, as sign and magnitude.
struct Attitude {
  bool negative;
  int64_t degrees;
};
Attitude AttitudeDegrees(int32_t units) {
  const int64_t v = NearestWhole(units * 360.0L / kUnitsPerCircle32);
  return {v < 0, v < 0 ? -v : v};
}

}  // namespace

int32_t NearestWhole(long double x) { return static_cast<int32_t>(RoundExtended(x)); }

std::string SignedText(bool negative, int64_t magnitude, size_t width) {
  return (negative ? "-" : "0") + PaddedDec(magnitude, width);
}

std::string MasterText(uint8_t battery, uint8_t alternator) {
  return DecText(battery) + DecText(alternator);
}

std::string ElectrText(uint8_t fuelPump, uint16_t lights, uint8_t pitotHeat) {
  return DecText(fuelPump) + BitString(lights, 10).substr(4, 6) + DecText(pitotHeat);
}

std::string FuelTankText(int32_t level) {
  const auto percentTimes100 = static_cast<int32_t>(static_cast<int64_t>(level) * 100);
  return PaddedDec(NearestWhole(percentTimes100 / kFullTank), 3);
}

std::string EgtText(uint16_t raw) { return GaugeText(raw, 860); }
std::string OilTemperatureText(uint16_t raw) { return GaugeText(raw, 140); }
std::string OilPressureText(uint16_t raw) { return GaugeText(raw, 55); }

std::string FuelFlowText(int32_t raw) { return PaddedDec(NearestWhole(raw / 128.0L), 3); }

std::string VacuumText(double suction) { return PaddedDec(NearestWhole(suction * 10.0L), 2); }

std::string AmmeterText(double amps) {
  // NaN is not below zero; rounding it then ends the request.
  const bool negative = amps < 0;
  const long double magnitude = negative ? -static_cast<long double>(amps) : amps;
  return SignedText(negative, NearestWhole(magnitude), 2);
}

std::string AirspeedText(int32_t knots128) {
  int64_t knots = NearestWhole(knots128 / 128.0L);
  if (knots > kAirspeedDialEnd) knots = kAirspeedDialEnd;
  return PaddedDec(knots, 3);
}

std::string VsiText(int32_t metresPerSecond256) {
  int64_t feetPerMinute = NearestWhole(metresPerSecond256 * kVerticalSpeedToFeetPerMinute);
  const bool negative = feetPerMinute < 0;
  if (negative) feetPerMinute = -feetPerMinute;
  if (feetPerMinute > kVerticalSpeedStop) feetPerMinute = kVerticalSpeedStop;
  return SignedText(negative, feetPerMinute, 4);
}

std::string RpmText(double rpm) {
  int64_t v = NearestWhole(rpm);
  if (v > kTachometerEnd) v = kTachometerEnd;
  if (v < 0) v = 0;
  return PaddedDec(v, 4);
}

std::string NearestDegreeText(double degrees) { return PaddedDec(NearestWhole(degrees), 3); }

std::string AttitudePitchText(int32_t units) {
  Attitude pitch = AttitudeDegrees(units);
  if (pitch.degrees > kPitchScaleEnd) pitch.degrees = kPitchScaleEnd;
  return SignedText(pitch.negative, pitch.degrees, 3);
}

std::string AttitudeBankText(int32_t units) {
  const Attitude bank = AttitudeDegrees(units);
  return SignedText(bank.negative, bank.degrees, 3);
}

}  // namespace tavelor
