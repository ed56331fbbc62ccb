// Every simulator offset the server reads or writes, named once with the type of its value.
// Commands, replies, the stand-in simulator and the tests all use these names. Values are
// little-endian as the simulator keeps them; 1- and 2-byte values are unsigned, and a reply
// that gives a signed meaning to one says so where it converts it.
#pragma once

#include <array>
#include <cstdint>

#include "simlink/offset.h"

namespace tavelor::offsets {

using Ident = std::array<char, 6>;       // a station or waypoint identifier, zero-padded
using CallSign = std::array<char, 15>;   // a traffic call sign, zero-terminated when shorter
using PathField = std::array<char, 256>; // a file path, zero-terminated, zero-filled

// Clock.
inline constexpr Offset<uint8_t> kLocalHour{0x0238};
inline constexpr Offset<uint8_t> kLocalMinute{0x0239};
inline constexpr Offset<uint8_t> kLocalSecond{0x023A};
inline constexpr Offset<uint8_t> kUtcHour{0x023B};
inline constexpr Offset<uint8_t> kUtcMinute{0x023C};

// Position and attitude.
inline constexpr Offset<int64_t> kLatitude{0x0560};   // 10001750 x 2^32 units per 90 degrees
inline constexpr Offset<int64_t> kLongitude{0x0568};  // 2^64 units per 360 degrees
inline constexpr Offset<int32_t> kPitch{0x0578};      // 2^32 units per turn
inline constexpr Offset<int32_t> kBank{0x057C};       // 2^32 units per turn
inline constexpr Offset<double> kHeading{0x2B00};     // gyro compass, degrees
inline constexpr Offset<uint16_t> kMagneticVariation{0x02A0};  // 65536 per turn, west negative
inline constexpr Offset<uint16_t> kAltitudeFeet{0x3324};       // low 16 bits of the altitude
inline constexpr Offset<uint32_t> kRadioAltitude{0x31E4};      // metres x 65536
inline constexpr Offset<uint8_t> kTurnBall{0x036E};            // turn coordinator ball
inline constexpr Offset<uint16_t> kTurnRate{0x037C};

// Speeds.
inline constexpr Offset<int32_t> kGroundSpeed{0x02B4};        // metres per second x 65536
inline constexpr Offset<int32_t> kTrueAirspeed{0x02B8};       // knots x 128
inline constexpr Offset<int32_t> kIndicatedAirspeed{0x02BC};  // knots x 128
inline constexpr Offset<int32_t> kBarberPoleSpeed{0x02C4};    // knots x 128
inline constexpr Offset<int32_t> kVerticalSpeed{0x02C8};      // metres per second x 256
inline constexpr Offset<uint16_t> kMach{0x11C6};              // Mach x 20480
inline constexpr Offset<double> kAce{0x3070};                 // the value the PFD labels Ace

// Air.
inline constexpr Offset<uint16_t> kAltimeterSetting{0x0330};  // millibars x 16
inline constexpr Offset<uint16_t> kOutsideAirTemp{0x0E8C};    // degrees C x 256, signed
inline constexpr Offset<uint16_t> kWindSpeed{0x0E90};         // knots
inline constexpr Offset<uint16_t> kWindDirection{0x0E92};     // 65536 per turn

// Electrical and systems switches.
inline constexpr Offset<uint8_t> kAlternator{0x3101};
inline constexpr Offset<uint8_t> kBattery{0x3102};
inline constexpr Offset<uint8_t> kAvionics{0x3103};
inline constexpr Offset<uint8_t> kFuelPump{0x3104};
inline constexpr Offset<uint8_t> kPitotHeat{0x029C};
inline constexpr Offset<uint16_t> kLights{0x0D0C};  // one bit per light switch
// Anti-ice and cowl flaps of engines 1 to 4.
inline constexpr Offset<uint16_t> kAntiIce[] = {{0x08B2}, {0x094A}, {0x09E2}, {0x0A7A}};
inline constexpr Offset<double> kCowlFlaps[] = {{0x37F0}, {0x3730}, {0x3670}, {0x35B0}};

// Gear and flaps.
inline constexpr Offset<int32_t> kGearLever{0x0BE8};  // 0 up, kGearDown down
inline constexpr Offset<int32_t> kNoseGear{0x0BEC};   // kGearDown when fully down
inline constexpr int32_t kGearDown = 16383;
inline constexpr Offset<int32_t> kFlapLever{0x0BDC};  // 0 up to kFlapsFull
inline constexpr int32_t kFlapsFull = 16383;
inline constexpr Offset<uint8_t> kFlapHandle{0x0BFC};  // handle position number
inline constexpr Offset<uint16_t> kElevatorTrim{0x0BC0};  // -kTrimFull..kTrimFull, two's complement
inline constexpr int32_t kTrimFull = 16383;

// Engine 1.
inline constexpr Offset<uint16_t> kMagnetos{0x0892};
inline constexpr Offset<double> kEngineRpm{0x2400};
inline constexpr Offset<int32_t> kFuelFlow{0x08A0};
inline constexpr Offset<uint16_t> kOilTemperature{0x08B8};  // 16384 = 140 degrees C
inline constexpr Offset<uint16_t> kOilPressure{0x08BA};     // 16384 = 55 psi
inline constexpr Offset<uint16_t> kExhaustGasTemp{0x08BE};  // 16384 = 860 degrees C
inline constexpr Offset<uint16_t> kManifoldPressure{0x08C0};  // inches of mercury x 1024
inline constexpr Offset<double> kCylinderHeadTemp{0x08E8};    // degrees
inline constexpr Offset<int32_t> kFuelPressure{0x08F8};
inline constexpr Offset<double> kSuction{0x0B18};
inline constexpr Offset<int32_t> kLeftTankLevel{0x0B7C};   // 8388608 = 100 %
inline constexpr Offset<int32_t> kRightTankLevel{0x0B94};  // 8388608 = 100 %
inline constexpr Offset<double> kAmmeter{0x282C};
inline constexpr Offset<double> kBusVoltage{0x2834};  // volts

// Radios: frequencies as four BCD digits without the leading 1 (118.25 is 0x1825).
inline constexpr Offset<uint16_t> kCom1Active{0x034E};
inline constexpr Offset<uint16_t> kCom1Standby{0x311A};
inline constexpr Offset<uint16_t> kCom2Active{0x3118};
inline constexpr Offset<uint16_t> kCom2Standby{0x311C};
inline constexpr Offset<uint16_t> kNav1Active{0x0350};
inline constexpr Offset<uint16_t> kNav1Standby{0x311E};
inline constexpr Offset<uint16_t> kNav2Active{0x0352};
inline constexpr Offset<uint16_t> kNav2Standby{0x3120};
// COM frequencies as whole hertz.
inline constexpr Offset<int32_t> kCom1ActiveHz{0x05C4};
inline constexpr Offset<int32_t> kCom1StandbyHz{0x05CC};
inline constexpr Offset<int32_t> kCom2ActiveHz{0x05C8};
inline constexpr Offset<int32_t> kCom2StandbyHz{0x05D0};
inline constexpr Offset<uint16_t> kAdfFrequency{0x034C};  // BCD main digits
inline constexpr Offset<uint16_t> kAdfExtended{0x0356};   // thousands digit and fraction
inline constexpr Offset<uint16_t> kTransponder{0x0354};   // four BCD digits
inline constexpr Offset<uint8_t> kAudioSelector{0x3122};  // one bit per switch
inline constexpr Offset<uint16_t> kDme1Distance{0x0300};  // nautical miles x 10
inline constexpr Offset<uint16_t> kDme1Aux{0x0304};       // a second DME 1 value, tenths
inline constexpr Offset<uint16_t> kDme2Distance{0x0306};  // nautical miles x 10
inline constexpr Offset<uint16_t> kDme2Aux{0x030A};       // a second DME 2 value, tenths

// Navigation instruments.
inline constexpr Offset<uint8_t> kNav1Needle{0x0C48};     // course deviation, two's complement
inline constexpr Offset<uint8_t> kNav1Glideslope{0x0C49}; // glideslope needle, two's complement
inline constexpr Offset<uint8_t> kNav1ToFrom{0x0C4B};
inline constexpr Offset<uint8_t> kNav1Ils{0x0C4C};
inline constexpr Offset<uint16_t> kNav1Course{0x0C4E};   // whole degrees
inline constexpr Offset<uint16_t> kNav1Radial{0x0C50};   // 65536 per turn
inline constexpr Offset<uint8_t> kNav2Localiser{0x0C59};
inline constexpr Offset<uint8_t> kNav2ToFrom{0x0C5B};
inline constexpr Offset<uint16_t> kVor2{0x0C5C};         // the VOR2 indication
inline constexpr Offset<uint16_t> kNav2Obs{0x0C5E};      // whole degrees
inline constexpr Offset<uint16_t> kNav2Radial{0x0C60};   // 65536 per turn
inline constexpr Offset<uint16_t> kAdfBearing{0x0C6A};   // relative, 65536 per turn
inline constexpr Offset<uint16_t> kAdfCard{0x0C6C};      // compass card, degrees
inline constexpr Offset<int32_t> kAdfSignal{0x0C1C};
inline constexpr Offset<uint16_t> kGyroDrift{0x0C3E};    // 65536 per turn
inline constexpr Offset<Ident> kNav1Ident{0x3000};
inline constexpr Offset<Ident> kNav2Ident{0x301F};
inline constexpr Offset<Ident> kAdfIdent{0x303E};
// The inner, middle and outer marker lights, in the order the panels show them.
inline constexpr Offset<uint16_t> kMarker1{0x0BAC};
inline constexpr Offset<uint16_t> kMarker2{0x0BAE};
inline constexpr Offset<uint16_t> kMarker3{0x0BB0};

// GPS.
inline constexpr Offset<Ident> kGpsNextId{0x60A4};
inline constexpr Offset<double> kGpsDistance{0x60EC};    // metres to the next waypoint
inline constexpr Offset<int32_t> kGpsTimeToGo{0x60E4};   // seconds to the next waypoint
inline constexpr Offset<double> kGpsCourse{0x6060};      // radians
inline constexpr Offset<double> kGpsCrossTrack{0x6058};  // metres, signed
inline constexpr Offset<uint32_t> kNavGpsSelector{0x132C};

// Autopilot switches (0 off, 1 on) and targets.
inline constexpr Offset<uint32_t> kApMaster{0x07BC};
inline constexpr Offset<uint32_t> kApWingLeveller{0x07C0};
inline constexpr Offset<uint32_t> kApNavHold{0x07C4};
inline constexpr Offset<uint32_t> kApHeadingHold{0x07C8};
inline constexpr Offset<uint32_t> kApAltitudeHold{0x07D0};
inline constexpr Offset<uint32_t> kApAirspeedHold{0x07DC};
inline constexpr Offset<uint32_t> kApMachHold{0x07E4};
inline constexpr Offset<uint32_t> kApGlideslopeHold{0x07FC};
inline constexpr Offset<uint32_t> kApLocaliserHold{0x0800};
inline constexpr Offset<uint32_t> kApBackCourseHold{0x0804};
inline constexpr Offset<uint32_t> kApYawDamper{0x0808};
inline constexpr Offset<uint32_t> kApAutothrottle{0x0810};
inline constexpr Offset<int32_t> kFlightDirector{0x2EE0};
inline constexpr Offset<double> kFlightDirectorValue1{0x2EE8};
inline constexpr Offset<double> kFlightDirectorValue2{0x2EF0};
inline constexpr Offset<uint16_t> kApHeading{0x07CC};        // 65536 per turn
inline constexpr Offset<int32_t> kApAltitude{0x07D4};        // metres x 65536
inline constexpr Offset<uint16_t> kApAirspeed{0x07E2};       // knots
inline constexpr Offset<int32_t> kApMach{0x07E8};            // Mach x 65536
inline constexpr Offset<uint16_t> kApVerticalSpeed{0x07F2};  // feet per minute, two's complement

// Flight plan: the path of the plan file the simulator loads.
inline constexpr Offset<PathField> kFlightPlanPath{0x0130};

// The airborne traffic table: 40-byte slots from 0xF080. Bytes 16 to 19 and 37 to 39 of a
// slot are not used here.
struct TrafficSlot {
  Offset<uint32_t> id;         // 0: the slot is empty
  Offset<float> latitude;      // degrees, negative south
  Offset<float> longitude;     // degrees, negative west
  Offset<float> altitude;      // feet
  Offset<uint16_t> verticalSpeed;  // feet per minute, two's complement
  Offset<CallSign> callSign;
};
inline constexpr int kTrafficSlots = 15;  // the slots the panels show
constexpr TrafficSlot Traffic(int slot) {  // slot 1 to kTrafficSlots
  const uint32_t base = 0xF080 + 40 * static_cast<uint32_t>(slot - 1);
  return {{base}, {base + 4}, {base + 8}, {base + 12}, {base + 20}, {base + 22}};
}

}  // namespace tavelor::offsets
