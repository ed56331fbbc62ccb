#include "commands/systems_commands.h"

#include <cstdint>

#include "core/request_text.h"
#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

// The one character at position 6; whatever value it gives is written unchanged.
int32_t Digit(const std::string& request) { return IntValue(Positions(request, 6, 6)); }

// The value's low bytes, as many as the offset holds, little-endian.
template <typename T>
void WriteLow(Offset<T> offset, int64_t value) {
  IpcWrite(offset, static_cast<T>(value));
}

template <typename T>
void SetValue(Offset<T> offset, int64_t value) {
  WriteLow(offset, value);
  IpcProcess();
}

}  // namespace

void EbatCommand(const std::string& requestText) { SetValue(offsets::kBattery, Digit(requestText)); }
void EaltCommand(const std::string& requestText) { SetValue(offsets::kAlternator, Digit(requestText)); }
void EaviCommand(const std::string& requestText) { SetValue(offsets::kAvionics, Digit(requestText)); }
void EfueCommand(const std::string& requestText) { SetValue(offsets::kFuelPump, Digit(requestText)); }
void EpitCommand(const std::string& requestText) { SetValue(offsets::kPitotHeat, Digit(requestText)); }
void FlapCommand(const std::string& requestText) { SetValue(offsets::kFlapHandle, Digit(requestText)); }
void MagnCommand(const std::string& requestText) { SetValue(offsets::kMagnetos, Digit(requestText)); }

void EiceCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  for (const auto offset : offsets::kAntiIce) WriteLow(offset, v);
  IpcProcess();
}

// The simulator keeps cowl flaps as a real per engine.
void EcowCommand(const std::string& requestText) {
  const double v = Digit(requestText);
  for (const auto offset : offsets::kCowlFlaps) IpcWrite(offset, v);
  IpcProcess();
}

// Position 11 is bit 0, position 6 bit 5; the light bits above 5 are always written clear.
// Any character but "1" is a clear bit, so this never fails.
void LighCommand(const std::string& requestText) {
  SetValue(offsets::kLights, BitStringValue(Positions(requestText, 6, 11)));
}

// 1 means fully down; every other value is written as it is (0 is up).
void LandCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  SetValue(offsets::kGearLever, v == 1 ? offsets::kGearDown : v);
}

// The client sends hectopascals x 100; the simulator keeps hectopascals x 16.
void BaroCommand(const std::string& requestText) {
  const int32_t n = IntValue(Positions(requestText, 6, 11));
  SetValue(offsets::kAltimeterSetting, RoundReal(RealMul(RealDiv(n, 100), 16)));
}

void FlpsCommand(const std::string& requestText) {
  SetValue(offsets::kFlapLever, IntValue(Positions(requestText, 6, 10)));
}

// 65536 units per 360 degrees. The product is a 32-bit integer before the real division, so
// it wraps like one; four characters never get near that.
void GdrfCommand(const std::string& requestText) {
  const int32_t degrees = IntValue(Positions(requestText, 6, 9));
  const int32_t product = static_cast<int32_t>(static_cast<uint32_t>(degrees) * 65536u);
  SetValue(offsets::kGyroDrift, RoundReal(RealDiv(product, 360)));
}

// The course is 16 bits, but the command writes 32: the two bytes after it become zero.
void Obs2Command(const std::string& requestText) {
  SetValue(WrittenAs<uint32_t>(offsets::kNav2Obs), IntValue(Positions(requestText, 6, 8)));
}

void AobsCommand(const std::string& requestText) {
  SetValue(offsets::kAdfCard, IntValue(Positions(requestText, 6, 8)));
}

}  // namespace tavelor
