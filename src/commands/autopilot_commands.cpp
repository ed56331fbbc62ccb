#include "commands/autopilot_commands.h"

#include <cstdint>

#include "core/globals.h"
#include "core/request_text.h"
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

// The one character at position 6; whatever value it gives is written unchanged.
int32_t Digit(const std::string& request) { return IntValue(Positions(request, 6, 6)); }

// The value's low bytes, as many as the offset holds: a 4-byte write keeps the low 32 bits.
template <typename T>
void Write(Offset<T> offset, int64_t value) {
  IpcWrite(offset, static_cast<T>(value));
}

template <typename T>
void SetSwitch(const std::string& request, Offset<T> offset) {
  const int32_t v = Digit(request);
  Write(offset, v);
  IpcProcess();
}

}  // namespace

void ApgpCommand(const std::string& requestText) { SetSwitch(requestText, offsets::kNavGpsSelector); }
void ApapCommand(const std::string& requestText) { SetSwitch(requestText, offsets::kApMaster); }
void ApfdCommand(const std::string& requestText) { SetSwitch(requestText, offsets::kFlightDirector); }
void ApydCommand(const std::string& requestText) { SetSwitch(requestText, offsets::kApYawDamper); }
void AplvCommand(const std::string& requestText) { SetSwitch(requestText, offsets::kApWingLeveller); }

// Metres x 65536 from feet; the half foot is added before the conversion.
void ApalCommand(const std::string& requestText) {
  const int32_t feet = IntValue(Positions(requestText, 6, 10));
  const double metres = RealDiv(feet + 0.5, static_cast<double>(units::kFeetPerMetre));
  const int64_t value = RoundReal(RealMul(metres, 65536));
  Write(kApAltitude, value);
  IpcProcess();
}

// Only a "-" at position 6 negates; the simulator reads the low 16 bits as two's complement,
// and "-0000" leaves 65536 (low half 0, high half 1).
void ApvsCommand(const std::string& requestText) {
  const int32_t feetPerMinute = IntValue(Positions(requestText, 7, 10));
  const bool negative = Positions(requestText, 6, 6) == "-";
  Write(kApVerticalSpeedWrite, negative ? 65536 - int64_t{feetPerMinute} : int64_t{feetPerMinute});
  IpcProcess();
}

// 65536 units per 360 degrees; 360 wraps to 65536, whose low half is 0.
void AphdCommand(const std::string& requestText) {
  const int32_t degrees = IntValue(Positions(requestText, 6, 8));
  Write(kApHeadingWrite, RoundReal(RealDiv(degrees, 0.0054931640625)));
  IpcProcess();
}

void ApcrCommand(const std::string& requestText) {
  const int32_t degrees = IntValue(Positions(requestText, 6, 8));
  Write(kNav1CourseWrite, degrees);
  IpcProcess();
}

void ApiaCommand(const std::string& requestText) {
  const int32_t knots = IntValue(Positions(requestText, 6, 8));
  Write(offsets::kApAirspeed, knots);
  IpcProcess();
}

void ApmaCommand(const std::string& requestText) {
  const int32_t machTimes100 = IntValue(Positions(requestText, 6, 8));
  Write(offsets::kApMach, RoundReal(RealMul(RealDiv(machTimes100, 100), 65536)));
  IpcProcess();
}

// Turning NAV hold on first drops the approach modes and heading hold in the same exchange.
void ApnaCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  if (v == 1) {
    Write(kApGlideslopeHold, 0);
    Write(kApLocaliserHold, 0);
    Write(kApBackCourseHold, 0);
    Write(kApHeadingHold, 0);
  }
  Write(kApNavHold, v);
  IpcProcess();
}

void AphhCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  if (v == 1) {
    Write(kApGlideslopeHold, 0);
    Write(kApLocaliserHold, 0);
    Write(kApBackCourseHold, 0);
    Write(kApNavHold, 0);
  }
  Write(kApHeadingHold, v);
  IpcProcess();
}

// Every lateral and approach mode goes off first; arming the localiser alone needs a second
// exchange after that.
void ApprCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  Write(kApGlideslopeHold, 0);
  Write(kApLocaliserHold, 0);
  Write(kApBackCourseHold, 0);
  Write(kApNavHold, 0);
  Write(kApHeadingHold, 0);
  IpcProcess();
  if (v == 1) {
    Write(kApGlideslopeHold, 0);
    Write(kApLocaliserHold, v);
    Write(kApBackCourseHold, 0);
    IpcProcess();
  }
}

// Switching the glideslope off must leave the approach's localiser hold on, which takes a
// second exchange.
void ApgsCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  if (v == 1) {
    Write(kApGlideslopeHold, v);
    Write(kApAltitudeHold, 0);
    IpcProcess();
    return;
  }
  Write(kApGlideslopeHold, v);
  Write(kApLocaliserHold, v);
  IpcProcess();
  Write(kApLocaliserHold, 1);
  IpcProcess();
}

// Altitude hold keeps the localiser and back-course switches as they were: they are read
// (before the digit is even parsed), cleared with the glideslope, then written back. When that
// read fails nothing is written: writing back zeros never read would switch off holds the
// pilot had on.
void ApaaCommand(const std::string& requestText) {
  uint32_t localiser = 0;
  uint32_t backCourse = 0;
  IpcRead(kApLocaliserHold, &localiser);
  IpcRead(kApBackCourseHold, &backCourse);
  uint32_t code = kIpcOk;
  if (!IpcProcess(&code)) {
    throw RequestError(std::string("Altitude hold not changed: the localiser and back-course "
                                   "holds could not be read (") +
                       IpcMessageText[code < 16 ? code : kIpcBadData] + ")");
  }

  const int32_t v = Digit(requestText);
  if (v == 0) {
    Write(kApAltitudeHold, v);
    IpcProcess();
    return;
  }
  Write(kApGlideslopeHold, 0);
  Write(kApLocaliserHold, 0);
  Write(kApBackCourseHold, 0);
  IpcProcess();
  Write(kApGlideslopeHold, 0);
  Write(kApLocaliserHold, localiser);
  Write(kApBackCourseHold, backCourse);
  Write(kApAltitudeHold, v);
  IpcProcess();
}

// Autothrottle, airspeed hold and Mach hold together; position 7 picks how the panels re-send
// the speed target. Both digits parse before anything changes.
void ApspCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  const int32_t mode = IntValue(Positions(requestText, 7, 7));
  SpeedRefMode = mode;
  Write(kApAutothrottle, v);
  Write(kApAirspeedHoldWrite, v);
  Write(kApMachHold, v);
  IpcProcess();
}

void ApmmCommand(const std::string& requestText) { SpeedRefMode = Digit(requestText); }

}  // namespace tavelor
