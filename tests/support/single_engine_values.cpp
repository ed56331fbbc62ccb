#include "support/single_engine_values.h"

#include <cstdint>
#include <limits>

#include "simlink/offsets.h"

namespace tavelor::testing {

std::vector<std::string> FieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t colon = line.find(':'); colon != std::string::npos; colon = line.find(':', start)) {
    fields.push_back(line.substr(start, colon - start));
    start = colon + 1;
  }
  return fields;
}

void FillRandom(sim::OffsetMemory& memory, std::mt19937& random) {
  std::vector<uint8_t> bytes(sim::OffsetMemory::kSize);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  memory.Write(0, static_cast<uint32_t>(bytes.size()), bytes.data());
}

double Between(std::mt19937& random, double lo, double hi) {
  return std::uniform_real_distribution<double>(lo, hi)(random);
}

void LoadPlausibleReals(sim::OffsetMemory& m, std::mt19937& r) {
  Poke(m, offsets::kBusVoltage, Between(r, 0.0, 29.9));
  Poke(m, offsets::kSuction, Between(r, 0.0, 9.9));
  Poke(m, offsets::kAmmeter, Between(r, -60.0, 60.0));
  Poke(m, offsets::kEngineRpm, Between(r, -100.0, 4000.0));
  Poke(m, offsets::kHeading, Between(r, 0.0, 359.4));
  Poke(m, offsets::kCylinderHeadTemp, Between(r, -40.0, 500.0));
}

void LoadSharedInRange(sim::OffsetMemory& m, std::mt19937& r) {
  constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();
  constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();
  LoadPlausibleReals(m, r);
  Poke(m, offsets::kBattery, Between<uint8_t>(r, 0, 1));
  Poke(m, offsets::kAlternator, Between<uint8_t>(r, 0, 1));
  Poke(m, offsets::kFuelPump, Between<uint8_t>(r, 0, 1));
  Poke(m, offsets::kLights, Between<uint16_t>(r, 0, 0xFFFF));
  Poke(m, offsets::kPitotHeat, Between<uint8_t>(r, 0, 1));
  Poke(m, offsets::kMagnetos, Between<uint16_t>(r, 0, 4));
  Poke(m, offsets::kAvionics, Between<uint8_t>(r, 0, 1));
  Poke(m, offsets::kFlapLever, Between<int32_t>(r, 0, 16383));
  Poke(m, offsets::kLocalHour, Between<uint8_t>(r, 0, 23));
  Poke(m, offsets::kLocalMinute, Between<uint8_t>(r, 0, 59));
  Poke(m, offsets::kLeftTankLevel, Between<int32_t>(r, 0, 8388608));
  Poke(m, offsets::kRightTankLevel, Between<int32_t>(r, 0, 8388608));
  Poke(m, offsets::kExhaustGasTemp, Between<uint16_t>(r, 0, 16384));  // up to full scale
  Poke(m, offsets::kFuelFlow, Between<int32_t>(r, 0, 999 * 128));
  Poke(m, offsets::kOilTemperature, Between<uint16_t>(r, 0, 16384));  // up to full scale
  Poke(m, offsets::kOilPressure, Between<uint16_t>(r, 0, 16384));  // up to full scale
  Poke(m, offsets::kIndicatedAirspeed, Between<int32_t>(r, 0, kInt32Max));
  Poke(m, offsets::kAltitudeFeet, Between<uint16_t>(r, 0, 0xFFFF));
  Poke(m, offsets::kAltimeterSetting, Between<uint16_t>(r, 0, 0xFFFF));
  Poke(m, offsets::kVerticalSpeed, Between<int32_t>(r, kInt32Min, kInt32Max));
  Poke(m, offsets::kGyroDrift, Between<uint16_t>(r, 0, 0xFFFF));
  Poke(m, offsets::kApHeading, Between<uint16_t>(r, 0, 0xFFFF));
  Poke(m, offsets::kNav1Course, Between<uint16_t>(r, 0, 359));
  Poke(m, offsets::kNav1ToFrom, Between<uint8_t>(r, 0, 2));
  Poke(m, offsets::kNav1Ils, Between<uint8_t>(r, 0, 1));
  Poke(m, offsets::kNav1Needle, Between<uint8_t>(r, 0, 255));
  Poke(m, offsets::kNav1Glideslope, Between<uint8_t>(r, 0, 255));
  Poke(m, offsets::kAdfBearing, Between<uint16_t>(r, 0, 0xFFFF));
  Poke(m, offsets::kAdfCard, Between<uint16_t>(r, 0, 359));
  Poke(m, offsets::kTurnBall, Between<uint8_t>(r, 0, 255));
  Poke(m, offsets::kTurnRate, Between<uint16_t>(r, 0, 0xFFFF));
  Poke(m, offsets::kPitch, Between<int32_t>(r, kInt32Min, kInt32Max));
  Poke(m, offsets::kBank, Between<int32_t>(r, kInt32Min, kInt32Max));
}

}  // namespace tavelor::testing
