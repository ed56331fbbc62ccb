#include "commands/autopilot_commands.h"

#include <cstdint>

#include "simlink/ipc_client.h"
#include "simlink/offsets.h"
#include "simlink/units.h"
#include "text/conversions.h"
#include "text/real_math.h"
#include "text/request_error.h"

namespace tavelor {

namespace {

using offsets::kApAltitude;
using offsets::kApAltitudeHold;
using offsets::kApAutothrottle;
using offsets::kApBackCourseHold;
using offsets::kApGlideslopeHold;
using offsets::kApHeadingHold;
using offsets::kApLocaliserHold;
using offsets::kApMachHold;
using offsets::kApNavHold;

// Targets and one switch that these commands write with another width than the panels read:
// the 16-bit heading, vertical speed and course go out as 32 bits (the two bytes after them
// become zero), the 32-bit airspeed hold switch as 16.
constexpr auto kApHeadingWrite = WrittenAs<uint32_t>(offsets::kApHeading);
constexpr auto kApVerticalSpeedWrite = WrittenAs<uint32_t>(offsets::kApVerticalSpeed);
constexpr auto kNav1CourseWrite = WrittenAs<uint32_t>(offsets::kNav1Course);
constexpr auto kApAirspeedHoldWrite = WrittenAs<uint16_t>(offsets::kApAirspeedHold);

// The one digit of a switch or mode command; whatever value it gives is written unchanged.
int32_t Digit(const CommandArguments& args) { return args[0]; }

// The value's low bytes, as many as the offset holds: a 4-byte write keeps the low 32 bits.
template <typename T>
void Write(IpcClient& link, Offset<T> offset, int64_t value) {
  IpcWrite(link, offset, static_cast<T>(value));
}

template <typename T>
void SetSwitch(IpcClient& link, const CommandArguments& args, Offset<T> offset) {
  const int32_t v = Digit(args);
  Write(link, offset, v);
  IpcProcess(link);
}

// NAV hold and heading hold exclude each other: turning one on first drops the approach modes
// and the other one, in the same exchange.
void SetLateralHold(IpcClient& link, const CommandArguments& args, Offset<uint32_t> hold,
                    Offset<uint32_t> other) {
  const int32_t v = Digit(args);
  if (v == 1) {
    Write(link, kApGlideslopeHold, 0);
    Write(link, kApLocaliserHold, 0);
    Write(link, kApBackCourseHold, 0);
    Write(link, other, 0);
  }
  Write(link, hold, v);
  IpcProcess(link);
}

}  // namespace

void ApgpCommand(RequestState& state, const CommandArguments& args) {
  SetSwitch(state.link, args, offsets::kNavGpsSelector);
}
void ApapCommand(RequestState& state, const CommandArguments& args) {
  SetSwitch(state.link, args, offsets::kApMaster);
}
void ApfdCommand(RequestState& state, const CommandArguments& args) {
  SetSwitch(state.link, args, offsets::kFlightDirector);
}
void ApydCommand(RequestState& state, const CommandArguments& args) {
  SetSwitch(state.link, args, offsets::kApYawDamper);
}
void AplvCommand(RequestState& state, const CommandArguments& args) {
  SetSwitch(state.link, args, offsets::kApWingLeveller);
}

// Metres x 65536 from feet; the half foot is added before the conversion.
void ApalCommand(RequestState& state, const CommandArguments& args) {
  const int32_t feet = args[0];
  const double metres = RealDiv(feet + 0.5, static_cast<double>(units::kFeetPerMetre));
  const int64_t value = RoundReal(RealMul(metres, 65536));
  Write(state.link, kApAltitude, value);
  IpcProcess(state.link);
}

// Only a "-" for the sign negates; the simulator reads the low 16 bits as two's complement,
// and "-0000" leaves 65536 (low half 0, high half 1).
void ApvsCommand(RequestState& state, const CommandArguments& args) {
  const int32_t feetPerMinute = args[0];
  const bool negative = args[1] != 0;
  const int64_t value = negative ? 65536 - int64_t{feetPerMinute} : int64_t{feetPerMinute};
  Write(state.link, kApVerticalSpeedWrite, value);
  IpcProcess(state.link);
}

// 65536 units per 360 degrees; 360 wraps to 65536, whose low half is 0.
void AphdCommand(RequestState& state, const CommandArguments& args) {
  const int32_t degrees = args[0];
  Write(state.link, kApHeadingWrite, RoundReal(RealDiv(degrees, 0.0054931640625)));
  IpcProcess(state.link);
}

void ApcrCommand(RequestState& state, const CommandArguments& args) {
  const int32_t degrees = args[0];
  Write(state.link, kNav1CourseWrite, degrees);
  IpcProcess(state.link);
}

void ApiaCommand(RequestState& state, const CommandArguments& args) {
  const int32_t knots = args[0];
  Write(state.link, offsets::kApAirspeed, knots);
  IpcProcess(state.link);
}

void ApmaCommand(RequestState& state, const CommandArguments& args) {
  const int32_t machTimes100 = args[0];
  Write(state.link, offsets::kApMach, RoundReal(RealMul(RealDiv(machTimes100, 100), 65536)));
  IpcProcess(state.link);
}

void ApnaCommand(RequestState& state, const CommandArguments& args) {
  SetLateralHold(state.link, args, kApNavHold, kApHeadingHold);
}

void AphhCommand(RequestState& state, const CommandArguments& args) {
  SetLateralHold(state.link, args, kApHeadingHold, kApNavHold);
}

// Every lateral and approach mode goes off first; arming the localiser alone needs a second
// exchange after that.
void ApprCommand(RequestState& state, const CommandArguments& args) {
  const int32_t v = Digit(args);
  Write(state.link, kApGlideslopeHold, 0);
  Write(state.link, kApLocaliserHold, 0);
  Write(state.link, kApBackCourseHold, 0);
  Write(state.link, kApNavHold, 0);
  Write(state.link, kApHeadingHold, 0);
  IpcProcess(state.link);
  if (v == 1) {
    Write(state.link, kApGlideslopeHold, 0);
    Write(state.link, kApLocaliserHold, v);
    Write(state.link, kApBackCourseHold, 0);
    IpcProcess(state.link);
  }
}

// Switching the glideslope off must leave the approach's localiser hold on, which takes a
// second exchange.
void ApgsCommand(RequestState& state, const CommandArguments& args) {
  const int32_t v = Digit(args);
  if (v == 1) {
    Write(state.link, kApGlideslopeHold, v);
    Write(state.link, kApAltitudeHold, 0);
    IpcProcess(state.link);
    return;
  }
  Write(state.link, kApGlideslopeHold, v);
  Write(state.link, kApLocaliserHold, v);
  IpcProcess(state.link);
  Write(state.link, kApLocaliserHold, 1);
  IpcProcess(state.link);
}

// Altitude hold keeps the localiser and back-course switches as they were: they are read
// (before the digit is even parsed: its row leaves the digit to this handler, so that a bad
// digit still costs the read exchange and fails after it, as it always has), cleared with the
// glideslope, then written back. When that
// read fails nothing is written: writing back zeros never read would switch off holds the
// pilot had on.
void ApaaCommand(RequestState& state, const CommandArguments& args) {
  uint32_t localiser = 0;
  uint32_t backCourse = 0;
  IpcRead(state.link, kApLocaliserHold, &localiser);
  IpcRead(state.link, kApBackCourseHold, &backCourse);
  uint32_t code = kIpcOk;
  if (!IpcProcess(state.link, &code)) {
    throw RequestError(std::string("Altitude hold not changed: the localiser and back-course "
                                   "holds could not be read (") +
                       IpcMessageText[code < 16 ? code : kIpcBadData] + ")");
  }

  const int32_t v = args.ReadNow(0);
  if (v == 0) {
    Write(state.link, kApAltitudeHold, v);
    IpcProcess(state.link);
    return;
  }
  Write(state.link, kApGlideslopeHold, 0);
  Write(state.link, kApLocaliserHold, 0);
  Write(state.link, kApBackCourseHold, 0);
  IpcProcess(state.link);
  Write(state.link, kApGlideslopeHold, 0);
  Write(state.link, kApLocaliserHold, localiser);
  Write(state.link, kApBackCourseHold, backCourse);
  Write(state.link, kApAltitudeHold, v);
  IpcProcess(state.link);
}

// Autothrottle, airspeed hold and Mach hold together; the second digit picks how the panels re-send
// the speed target. Both digits parse before anything changes.
void ApspCommand(RequestState& state, const CommandArguments& args) {
  const int32_t v = Digit(args);
  const int32_t mode = args[1];
  state.SpeedRefMode = mode;
  Write(state.link, kApAutothrottle, v);
  Write(state.link, kApAirspeedHoldWrite, v);
  Write(state.link, kApMachHold, v);
  IpcProcess(state.link);
}

void ApmmCommand(RequestState& state, const CommandArguments& args) {
  state.SpeedRefMode = Digit(args);
}

}  // namespace tavelor
