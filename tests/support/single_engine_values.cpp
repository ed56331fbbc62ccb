#include "support/single_engine_values.h"

#include <cstdint>
#include <limits>

#include "simlink/offsets.h"

namespace tavelor::testing {

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

void LoadCruisingAircraft(sim::OffsetMemory& m) {
  Poke(m, offsets::kBattery, 1);
  Poke(m, offsets::kAlternator, 1);
  Poke(m, offsets::kLights, 0x25);
  Poke(m, offsets::kMagnetos, 3);
  Poke(m, offsets::kAvionics, 1);
  Poke(m, offsets::kFlapLever, 4096);
  Poke(m, offsets::kOutsideAirTemp, 3840);
  Poke(m, offsets::kBusVoltage, 28.0);
  Poke(m, offsets::kLocalHour, 14);
  Poke(m, offsets::kLocalMinute, 5);
  Poke(m, offsets::kUtcHour, 12);
  Poke(m, offsets::kUtcMinute, 5);
  Poke(m, offsets::kLeftTankLevel, 6291456);
  Poke(m, offsets::kRightTankLevel, 4194304);
  Poke(m, offsets::kExhaustGasTemp, 13336);
  Poke(m, offsets::kFuelFlow, 1280);
  Poke(m, offsets::kOilTemperature, 9362);
  Poke(m, offsets::kOilPressure, 17873);
  Poke(m, offsets::kSuction, 5.0);
  Poke(m, offsets::kAmmeter, -2.0);
  Poke(m, offsets::kIndicatedAirspeed, 110 * 128);
  Poke(m, offsets::kAltitudeFeet, 4500);
  Poke(m, offsets::kAltimeterSetting, 16208);
  Poke(m, offsets::kVerticalSpeed, 896);
  Poke(m, offsets::kEngineRpm, 2350.0);
  Poke(m, offsets::kHeading, 271.6);
  Poke(m, offsets::kApHeading, 49152);
  Poke(m, offsets::kNav1Course, 90);
  Poke(m, offsets::kNav1ToFrom, 1);
  Poke(m, offsets::kNav1Needle, 127);
  Poke(m, offsets::kNav2Obs, 180);
  Poke(m, offsets::kNav2ToFrom, 2);
  Poke(m, offsets::kAdfBearing, 8192);
  Poke(m, offsets::kPitch, -35791394);  // -3 degrees
  Poke(m, offsets::kBank, 119304647);   // 10 degrees
  Poke(m, offsets::kElevatorTrim, 1200);
  Poke(m, offsets::kManifoldPressure, 25088);  // 24.5 inches
  Poke(m, offsets::kLocalSecond, 30);
  Poke(m, offsets::kFuelPressure, 720);
  Poke(m, offsets::kCylinderHeadTemp, 350.0);
}

}  // namespace tavelor::testing
