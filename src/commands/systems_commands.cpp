#include "commands/systems_commands.h"

#include <cstdint>

#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

// The one digit of a switch command; whatever value it gives is written unchanged.
int32_t Digit(const CommandArguments& args) { return args[0]; }

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

void EbatCommand(RequestState& state, const CommandArguments& args) {
  SetValue(state.link, offsets::kBattery, Digit(args));
}
void EaltCommand(RequestState& state, const CommandArguments& args) {
  SetValue(state.link, offsets::kAlternator, Digit(args));
}
void EaviCommand(RequestState& state, const CommandArguments& args) {
  SetValue(state.link, offsets::kAvionics, Digit(args));
}
void EfueCommand(RequestState& state, const CommandArguments& args) {
  SetValue(state.link, offsets::kFuelPump, Digit(args));
}
void EpitCommand(RequestState& state, const CommandArguments& args) {
  SetValue(state.link, offsets::kPitotHeat, Digit(args));
}
void FlapCommand(RequestState& state, const CommandArguments& args) {
  SetValue(state.link, offsets::kFlapHandle, Digit(args));
}
void MagnCommand(RequestState& state, const CommandArguments& args) {
  SetValue(state.link, offsets::kMagnetos, Digit(args));
}

void EiceCommand(RequestState& state, const CommandArguments& args) {
  const int32_t v = Digit(args);
  for (const auto offset : offsets::kAntiIce) WriteLow(state.link, offset, v);
  IpcProcess(state.link);
}

// The simulator keeps cowl flaps as a real per engine.
void EcowCommand(RequestState& state, const CommandArguments& args) {
  const double v = Digit(args);
  for (const auto offset : offsets::kCowlFlaps) IpcWrite(state.link, offset, v);
  IpcProcess(state.link);
}

// The light bits above 5 are always written clear; any character but "1" is a clear bit, so
// this never fails.
void LighCommand(RequestState& state, const CommandArguments& args) {
  SetValue(state.link, offsets::kLights, args[0]);
}

// 1 means fully down; every other value is written as it is (0 is up).
void LandCommand(RequestState& state, const CommandArguments& args) {
  const int32_t v = Digit(args);
  SetValue(state.link, offsets::kGearLever, v == 1 ? offsets::kGearDown : v);
}

// The client sends hectopascals x 100; the simulator keeps hectopascals x 16.
void BaroCommand(RequestState& state, const CommandArguments& args) {
  const int32_t n = args[0];
  SetValue(state.link, offsets::kAltimeterSetting, RoundReal(RealMul(RealDiv(n, 100), 16)));
}

void FlpsCommand(RequestState& state, const CommandArguments& args) {
  SetValue(state.link, offsets::kFlapLever, args[0]);
}

// 65536 units per 360 degrees. The product is a 32-bit integer before the real division, so
// it wraps like one; four characters never get near that.
void GdrfCommand(RequestState& state, const CommandArguments& args) {
  const int32_t degrees = args[0];
  const int32_t product = static_cast<int32_t>(static_cast<uint32_t>(degrees) * 65536u);
  SetValue(state.link, offsets::kGyroDrift, RoundReal(RealDiv(product, 360)));
}

// The course is 16 bits, but the command writes 32: the two bytes after it become zero.
void Obs2Command(RequestState& state, const CommandArguments& args) {
  const int32_t degrees = args[0];
  SetValue(state.link, WrittenAs<uint32_t>(offsets::kNav2Obs), degrees);
}

void AobsCommand(RequestState& state, const CommandArguments& args) {
  SetValue(state.link, offsets::kAdfCard, args[0]);
}

}  // namespace tavelor
