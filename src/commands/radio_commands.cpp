// The simulator keeps classic frequencies as four BCD digits without the leading 1 (118.25 is
// 0x1825): the registry reads those arguments as BCD, each digit character one nibble
// unchanged. Positions its columns skip (the leading 1, the decimal point, separators) are never
// read.
#include "commands/radio_commands.h"

#include <cstdint>

#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

namespace {

constexpr int32_t kHertzPerKilohertz = 1000;

template <typename T>
struct FrequencyPair {
  Offset<T> active;
  Offset<T> standby;
};

constexpr FrequencyPair<uint16_t> kCom1{offsets::kCom1Active, offsets::kCom1Standby};
constexpr FrequencyPair<uint16_t> kCom2{offsets::kCom2Active, offsets::kCom2Standby};
constexpr FrequencyPair<uint16_t> kNav1{offsets::kNav1Active, offsets::kNav1Standby};
constexpr FrequencyPair<uint16_t> kNav2{offsets::kNav2Active, offsets::kNav2Standby};
constexpr FrequencyPair<int32_t> kCom1Hz{offsets::kCom1ActiveHz, offsets::kCom1StandbyHz};
constexpr FrequencyPair<int32_t> kCom2Hz{offsets::kCom2ActiveHz, offsets::kCom2StandbyHz};

// "1xx.yy 1yy.yy": the active frequency's BCD digits, then the standby's.
void SetBcdPair(IpcClient& link, const CommandArguments& args, FrequencyPair<uint16_t> pair) {
  const int32_t active = args[0];
  const int32_t standby = args[1];
  IpcWrite(link, pair.active, static_cast<uint16_t>(active));
  IpcWrite(link, pair.standby, static_cast<uint16_t>(standby));
  IpcProcess(link);
}

// "xxx.yyy xxx.yyy": the active frequency in kilohertz, then the standby's. The simulator keeps
// these offsets in hertz, so each goes out times 1000 (118.250 MHz is 118250000); six digits of
// characters times 1000 stay well inside 32 bits, whatever they hold (a sign, `$` and hexadecimal).
void SetKhzPair(IpcClient& link, const CommandArguments& args, FrequencyPair<int32_t> pair) {
  const int32_t active = args[0];
  const int32_t standby = args[1];
  IpcWrite(link, pair.active, active * kHertzPerKilohertz);
  IpcWrite(link, pair.standby, standby * kHertzPerKilohertz);
  IpcProcess(link);
}

}  // namespace

void Com1Command(RequestState& state, const CommandArguments& args) {
  SetBcdPair(state.link, args, kCom1);
}
void Co11Command(RequestState& state, const CommandArguments& args) {
  SetKhzPair(state.link, args, kCom1Hz);
}
void Com2Command(RequestState& state, const CommandArguments& args) {
  SetBcdPair(state.link, args, kCom2);
}
void Co22Command(RequestState& state, const CommandArguments& args) {
  SetKhzPair(state.link, args, kCom2Hz);
}
void Nav1Command(RequestState& state, const CommandArguments& args) {
  SetBcdPair(state.link, args, kNav1);
}
void Nav2Command(RequestState& state, const CommandArguments& args) {
  SetBcdPair(state.link, args, kNav2);
}

// Only the three main digits can be set; the extended part (thousands digit, fraction) is
// always cleared.
void Adf0Command(RequestState& state, const CommandArguments& args) {
  const uint16_t main = static_cast<uint16_t>(args[0]);
  IpcWrite(state.link, offsets::kAdfFrequency, main);
  IpcWrite(state.link, offsets::kAdfExtended, 0);
  IpcProcess(state.link);
}

// The digits are not checked against the transponder's 0-7 range: 8888 goes out as 0x8888.
void Tra0Command(RequestState& state, const CommandArguments& args) {
  const uint16_t code = static_cast<uint16_t>(args[0]);
  IpcWrite(state.link, offsets::kTransponder, code);
  IpcProcess(state.link);
}

// Anything but "1" is a clear bit, so this never fails.
void Aud0Command(RequestState& state, const CommandArguments& args) {
  const uint8_t bits = static_cast<uint8_t>(args[0]);
  IpcWrite(state.link, offsets::kAudioSelector, bits);
  IpcProcess(state.link);
}

}  // namespace tavelor
