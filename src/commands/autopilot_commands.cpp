#include "commands/autopilot_commands.h"

#include <cstdint>

#include "app/globals.h"
#include "server/request.h"
#include "simlink/ipc_client.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr uint32_t kMaster = 0x07BC;
constexpr uint32_t kWingLeveller = 0x07C0;
constexpr uint32_t kNavHold = 0x07C4;
constexpr uint32_t kHeadingHold = 0x07C8;
constexpr uint32_t kTargetHeading = 0x07CC;
constexpr uint32_t kAltitudeHold = 0x07D0;
constexpr uint32_t kTargetAltitude = 0x07D4;
constexpr uint32_t kAirspeedHold = 0x07DC;  // 2 bytes
constexpr uint32_t kTargetAirspeed = 0x07E2;  // 2 bytes
constexpr uint32_t kMachHold = 0x07E4;
constexpr uint32_t kTargetMach = 0x07E8;
constexpr uint32_t kTargetVerticalSpeed = 0x07F2;
constexpr uint32_t kGlideslopeHold = 0x07FC;
constexpr uint32_t kLocaliserHold = 0x0800;
constexpr uint32_t kBackCourseHold = 0x0804;
constexpr uint32_t kYawDamper = 0x0808;
constexpr uint32_t kAutothrottle = 0x0810;
constexpr uint32_t kNav1Course = 0x0C4E;
constexpr uint32_t kNavGpsSelector = 0x132C;
constexpr uint32_t kFlightDirector = 0x2EE0;

// The one character at position 6; whatever value it gives is written unchanged.
int32_t Digit(const std::string& request) { return IntValue(Positions(request, 6, 6)); }

// Wider values keep their low 32 bits, as a 4-byte write of a 32-bit variable would.
void Write32(uint32_t offset, int64_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  IpcWrite(offset, 4, &v);
}

void Write16(uint32_t offset, int64_t value) {
  const uint16_t v = static_cast<uint16_t>(value);
  IpcWrite(offset, 2, &v);
}

void SetSwitch(const std::string& request, uint32_t offset) {
  const int32_t v = Digit(request);
  Write32(offset, v);
  IpcProcess();
}

}  // namespace

void ApgpCommand(const std::string& requestText) { SetSwitch(requestText, kNavGpsSelector); }
void ApapCommand(const std::string& requestText) { SetSwitch(requestText, kMaster); }
void ApfdCommand(const std::string& requestText) { SetSwitch(requestText, kFlightDirector); }
void ApydCommand(const std::string& requestText) { SetSwitch(requestText, kYawDamper); }
void AplvCommand(const std::string& requestText) { SetSwitch(requestText, kWingLeveller); }

// Metres x 65536 from feet; the half foot is added before the conversion.
void ApalCommand(const std::string& requestText) {
  const int32_t feet = IntValue(Positions(requestText, 6, 10));
  const int64_t value = RoundReal(RealMul(RealDiv(feet + 0.5, 3.28084), 65536));
  Write32(kTargetAltitude, value);
  IpcProcess();
}

// Only a "-" at position 6 negates; the simulator reads the low 16 bits as two's complement,
// and "-0000" leaves 65536 (low half 0, high half 1).
void ApvsCommand(const std::string& requestText) {
  const int32_t feetPerMinute = IntValue(Positions(requestText, 7, 10));
  const bool negative = Positions(requestText, 6, 6) == "-";
  Write32(kTargetVerticalSpeed, negative ? 65536 - int64_t{feetPerMinute} : int64_t{feetPerMinute});
  IpcProcess();
}

// 65536 units per 360 degrees; 360 wraps to 65536, whose low half is 0.
void AphdCommand(const std::string& requestText) {
  const int32_t degrees = IntValue(Positions(requestText, 6, 8));
  Write32(kTargetHeading, RoundReal(RealDiv(degrees, 0.0054931640625)));
  IpcProcess();
}

void ApcrCommand(const std::string& requestText) {
  const int32_t degrees = IntValue(Positions(requestText, 6, 8));
  Write32(kNav1Course, degrees);
  IpcProcess();
}

void ApiaCommand(const std::string& requestText) {
  const int32_t knots = IntValue(Positions(requestText, 6, 8));
  Write16(kTargetAirspeed, knots);
  IpcProcess();
}

void ApmaCommand(const std::string& requestText) {
  const int32_t machTimes100 = IntValue(Positions(requestText, 6, 8));
  Write32(kTargetMach, RoundReal(RealMul(RealDiv(machTimes100, 100), 65536)));
  IpcProcess();
}

// Turning NAV hold on first drops the approach modes and heading hold in the same exchange.
void ApnaCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  if (v == 1) {
    Write32(kGlideslopeHold, 0);
    Write32(kLocaliserHold, 0);
    Write32(kBackCourseHold, 0);
    Write32(kHeadingHold, 0);
  }
  Write32(kNavHold, v);
  IpcProcess();
}

void AphhCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  if (v == 1) {
    Write32(kGlideslopeHold, 0);
    Write32(kLocaliserHold, 0);
    Write32(kBackCourseHold, 0);
    Write32(kNavHold, 0);
  }
  Write32(kHeadingHold, v);
  IpcProcess();
}

// Every lateral and approach mode goes off first; arming the localiser alone needs a second
// exchange after that.
void ApprCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  Write32(kGlideslopeHold, 0);
  Write32(kLocaliserHold, 0);
  Write32(kBackCourseHold, 0);
  Write32(kNavHold, 0);
  Write32(kHeadingHold, 0);
  IpcProcess();
  if (v == 1) {
    Write32(kGlideslopeHold, 0);
    Write32(kLocaliserHold, v);
    Write32(kBackCourseHold, 0);
    IpcProcess();
  }
}

// Switching the glideslope off must leave the approach's localiser hold on, which takes a
// second exchange.
void ApgsCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  if (v == 1) {
    Write32(kGlideslopeHold, v);
    Write32(kAltitudeHold, 0);
    IpcProcess();
    return;
  }
  Write32(kGlideslopeHold, v);
  Write32(kLocaliserHold, v);
  IpcProcess();
  Write32(kLocaliserHold, 1);
  IpcProcess();
}

// Altitude hold keeps the localiser and back-course switches as they were: they are read
// (before the digit is even parsed), cleared with the glideslope, then written back.
void ApaaCommand(const std::string& requestText) {
  uint32_t localiser = 0;
  uint32_t backCourse = 0;
  IpcRead(kLocaliserHold, 4, &localiser);
  IpcRead(kBackCourseHold, 4, &backCourse);
  IpcProcess();

  const int32_t v = Digit(requestText);
  if (v == 0) {
    Write32(kAltitudeHold, v);
    IpcProcess();
    return;
  }
  Write32(kGlideslopeHold, 0);
  Write32(kLocaliserHold, 0);
  Write32(kBackCourseHold, 0);
  IpcProcess();
  Write32(kGlideslopeHold, 0);
  Write32(kLocaliserHold, localiser);
  Write32(kBackCourseHold, backCourse);
  Write32(kAltitudeHold, v);
  IpcProcess();
}

// Autothrottle, airspeed hold and Mach hold together; position 7 picks how the panels re-send
// the speed target. Both digits parse before anything changes.
void ApspCommand(const std::string& requestText) {
  const int32_t v = Digit(requestText);
  const int32_t mode = IntValue(Positions(requestText, 7, 7));
  SpeedRefMode = mode;
  Write32(kAutothrottle, v);
  Write16(kAirspeedHold, v);
  Write32(kMachHold, v);
  IpcProcess();
}

void ApmmCommand(const std::string& requestText) { SpeedRefMode = Digit(requestText); }

}  // namespace tavelor
