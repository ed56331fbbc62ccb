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
void WriteLow(IpcClient& link, Offset<T> offset, int64_t value) {
  IpcWrite(link, offset, static_cast<T>(value));
}

template <typename T>
void SetValue(IpcClient& link, Offset<T> offset, int64_t value) {
  WriteLow(link, offset, value);
  IpcProcess(link);
}

}  // namespace

void EbatCommand(RequestState& state, const std::string& requestText) {
  SetValue(state.link, offsets::kBattery, Digit(requestText));
}
void EaltCommand(RequestState& state, const std::string& requestText) {
  SetValue(state.link, offsets::kAlternator, Digit(requestText));
}
void EaviCommand(RequestState& state, const std::string& requestText) {
  SetValue(state.link, offsets::kAvionics, Digit(requestText));
}
void EfueCommand(RequestState& state, const std::string& requestText) {
  SetValue(state.link, offsets::kFuelPump, Digit(requestText));
}
void EpitCommand(RequestState& state, const std::string& requestText) {
  SetValue(state.link, offsets::kPitotHeat, Digit(requestText));
}
void FlapCommand(RequestState& state, const std::string& requestText) {
  SetValue(state.link, offsets::kFlapHandle, Digit(requestText));
}
void MagnCommand(RequestState& state, const std::string& requestText) {
  SetValue(state.link, offsets::kMagnetos, Digit(requestText));
}

void EiceCommand(RequestState& state, const std::string& requestText) {
  const int32_t v = Digit(requestText);
  for (const auto offset : offsets::kAntiIce) WriteLow(state.link, offset, v);
  IpcProcess(state.link);
}

// The simulator keeps cowl flaps as a real per engine.
void EcowCommand(RequestState& state, const std::string& requestText) {
  const double v = Digit(requestText);
  for (const auto offset : offsets::kCowlFlaps) IpcWrite(state.link, offset, v);
  IpcProcess(state.link);
}

// Position 11 is bit 0, position 6 bit 5; the light bits above 5 are always written clear.
// Any character but "1" is a clear bit, so this never fails.
void LighCommand(RequestState& state, const std::string& requestText) {
  SetValue(state.link, offsets::kLights, BitStringValue(Positions(requestText, 6, 11)));
}

// 1 means fully down; every other value is written as it is (0 is up).
void LandCommand(RequestState& state, const std::string& requestText) {
  const int32_t v = Digit(requestText);
  SetValue(state.link, offsets::kGearLever, v == 1 ? offsets::kGearDown : v);
}

// The client sends hectopascals x 100; the simulator keeps hectopascals x 16.
void BaroCommand(RequestState& state, const std::string& requestText) {
  const int32_t n = IntValue(Positions(requestText, 6, 11));
  SetValue(state.link, offsets::kAltimeterSetting, RoundReal(RealMul(RealDiv(n, 100), 16)));
}

void FlpsCommand(RequestState& state, const std::string& requestText) {
  SetValue(state.link, offsets::kFlapLever, IntValue(Positions(requestText, 6, 10)));
}

// 65536 units per 360 degrees. The product is a 32-bit integer before the real division, so
// it wraps like one; four characters never get near that.
void GdrfCommand(RequestState& state, const std::string& requestText) {
  const int32_t degrees = IntValue(Positions(requestText, 6, 9));
  const int32_t product = static_cast<int32_t>(static_cast<uint32_t>(degrees) * 65536u);
  SetValue(state.link, offsets::kGyroDrift, RoundReal(RealDiv(product, 360)));
}

// The course is 16 bits, but the command writes 32: the two bytes after it become zero.
void Obs2Command(RequestState& state, const std::string& requestText) {
  const int32_t degrees = IntValue(Positions(requestText, 6, 8));
  SetValue(state.link, WrittenAs<uint32_t>(offsets::kNav2Obs), degrees);
}

void AobsCommand(RequestState& state, const std::string& requestText) {
  SetValue(state.link, offsets::kAdfCard, IntValue(Positions(requestText, 6, 8)));
}

}  // namespace tavelor
