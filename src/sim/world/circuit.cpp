// The circuit's world and the pilot's script. The route: from the apron onto runway 27, a
// climbing turn to the VOR CJN, then radar vectors onto the ILS of runway 21 at the destination,
// down the glideslope past the outer, middle and inner markers to the touchdown.
#include "sim/world/circuit.h"

#include <cmath>
#include <vector>

#include "sim/world/encodings.h"
#include "simlink/offsets.h"

namespace tavelor::sim::circuit {

namespace {

namespace o = offsets;

const Point kApron{0, 0};
const Point kCjn = Moved(kApron, 330, 11);
// Vectored 240 from CJN for six miles, the aircraft meets the final course nine miles out.
const Point kThreshold = Moved(Moved(kCjn, 240, 6), kFinalCourse, 9);
const Point kOuterMarker = Moved(kThreshold, kFinalCourse + 180, 4.5);

// Light switch bits, as the simulator numbers them.
constexpr uint16_t kNavLights = 1 << 0, kBeacon = 1 << 1, kLanding = 1 << 2, kTaxi = 1 << 3,
                   kStrobes = 1 << 4;
// Audio selector bits.
constexpr uint8_t kHearCom1 = 1 << 7, kHearNav1 = 1 << 4, kHearMarkers = 1 << 2, kHearDme = 1 << 1,
                  kHearAdf = 1 << 0;
// Magneto switch positions.
constexpr uint16_t kRightMagneto = 1, kLeftMagneto = 2, kBothMagnetos = 3;

// The flap lever at its detents, and the handle's position number.
void Flaps(OffsetMemory& m, int detent) {
  m.Put(o::kFlapLever, o::kFlapsFull * detent / 3);
  m.Put(o::kFlapHandle, static_cast<uint8_t>(detent));
}

// Autopilot targets in the simulator's units.
void HeadingBug(OffsetMemory& m, double degrees) {
  m.Put(o::kApHeading, Angle16(degrees));
}
void AltitudeTarget(OffsetMemory& m, double feet) {
  m.Put(o::kApAltitude, Metres65536(feet));
}
void VerticalSpeedTarget(OffsetMemory& m, int feetPerMinute) {
  m.Put(o::kApVerticalSpeed, Signed16(feetPerMinute));
}
void Adf(OffsetMemory& m, uint32_t tenthsKhz) {
  const AdfWords words = AdfFrequency(tenthsKhz);
  m.Put(o::kAdfFrequency, words.main);
  m.Put(o::kAdfExtended, words.extended);
}
void Qnh(OffsetMemory& m, double hectopascals) {
  m.Put(o::kAltimeterSetting, Hpa16(hectopascals));
}

// Everything the pilot finds set when the circuit starts: the engine running on the apron.
void Cockpit(OffsetMemory& m, Pilot& p) {
  p = Pilot{};
  p.rpm = 1000;
  p.taxiing = true;
  m.Put(o::kBattery, uint8_t{1});
  m.Put(o::kAlternator, uint8_t{1});
  m.Put(o::kAvionics, uint8_t{0});
  m.Put(o::kFuelPump, uint8_t{0});
  m.Put(o::kPitotHeat, uint8_t{0});
  m.Put(o::kLights, uint16_t{kNavLights | kBeacon | kTaxi});
  for (auto offset : o::kAntiIce) m.Put(offset, uint16_t{0});
  for (auto offset : o::kCowlFlaps) m.Put(offset, 1.0);
  m.Put(o::kGearLever, o::kGearDown);  // fixed gear: always down
  m.Put(o::kNoseGear, o::kGearDown);
  Flaps(m, 0);
  m.Put(o::kMagnetos, kBothMagnetos);
  m.Put(o::kBarberPoleSpeed, Knots128(163));  // the never-exceed speed
  Qnh(m, 1013.25);

  m.Put(o::kCom1Active, uint16_t{0x2170});   // ground 121.70
  m.Put(o::kCom1Standby, uint16_t{0x1825});  // tower 118.25
  m.Put(o::kCom2Active, uint16_t{0x2760});   // the weather 127.60
  m.Put(o::kCom2Standby, uint16_t{0x2485});
  m.Put(o::kNav1Active, uint16_t{0x1390});   // CJN
  m.Put(o::kNav1Standby, uint16_t{0x1090});  // the destination's ILS
  m.Put(o::kNav2Active, uint16_t{0x0900});   // nothing there
  m.Put(o::kNav2Standby, uint16_t{0x1130});  // DST
  Adf(m, 3450);                              // DPN, the field's beacon
  m.Put(o::kTransponder, uint16_t{0x7000});
  m.Put(o::kAudioSelector, uint8_t{kHearCom1 | kHearNav1});
  m.Put(o::kNav1Course, uint16_t{330});
  m.Put(o::kNav2Obs, uint16_t{0});
  m.Put(o::kAdfCard, uint16_t{0});

  for (auto offset : {o::kApMaster, o::kApWingLeveller, o::kApNavHold, o::kApHeadingHold,
                      o::kApAltitudeHold, o::kApAirspeedHold, o::kApMachHold, o::kApGlideslopeHold,
                      o::kApLocaliserHold, o::kApBackCourseHold, o::kApYawDamper, o::kApAutothrottle,
                      o::kNavGpsSelector})
    m.Put(offset, 0u);
  m.Put(o::kFlightDirector, 0);
  HeadingBug(m, kRunwayHeading);
  AltitudeTarget(m, 5500);
  VerticalSpeedTarget(m, 700);
  m.Put(o::kApAirspeed, uint16_t{80});
  m.Put(o::kApMach, 0);
}

using M = OffsetMemory;
using P = Pilot;

const Event kScript[] = {
    {0, Cockpit},
    {1, [](M& m, P&) { m.Put(o::kAvionics, uint8_t{1}); }},
    {5, [](M& m, P&) {  // cleared: the squawk, then over to the tower
       m.Put(o::kTransponder, uint16_t{0x4521});
       m.Put(o::kCom1Active, uint16_t{0x1825});
       m.Put(o::kCom1Standby, uint16_t{0x2170});
     }},
    {8, [](M&, P& p) { p.taxiing = false; p.rpm = 1700; }},  // the run-up at the holding point
    {9.5, [](M& m, P&) { m.Put(o::kMagnetos, kLeftMagneto); }},
    {11.5, [](M& m, P&) { m.Put(o::kMagnetos, kRightMagneto); }},
    {13.5, [](M& m, P& p) { m.Put(o::kMagnetos, kBothMagnetos); p.rpm = 1000; p.taxiing = true; }},
    {15, [](M& m, P&) {  // lined up
       m.Put(o::kLights, uint16_t{kNavLights | kBeacon | kLanding | kStrobes});
       m.Put(o::kFuelPump, uint8_t{1});
       m.Put(o::kPitotHeat, uint8_t{1});
       Flaps(m, 1);
       m.Put(o::kFlightDirector, 1);
       m.Put(o::kApHeadingHold, 1u);
     }},
    {17, [](M&, P& p) { p.taxiing = false; p.takeOff = true; p.rpm = 2450; }},
    {60, [](M& m, P&) { Flaps(m, 0); }},
    {80, [](M& m, P& p) {
       m.Put(o::kFuelPump, uint8_t{0});
       m.Put(o::kCom1Active, uint16_t{0x2710});  // departure 127.10
       m.Put(o::kCom1Standby, uint16_t{0x1825});
       p.rpm = 2400;
     }},
    {110, [](M& m, P&) {
       m.Put(o::kApMaster, 1u);
       m.Put(o::kApYawDamper, 1u);
       HeadingBug(m, 300);
     }},
    {140, [](M& m, P& p) {  // direct to CJN on the GPS
       m.Put(o::kNavGpsSelector, 1u);
       m.Put(o::kApHeadingHold, 0u);
       m.Put(o::kApNavHold, 1u);
       m.Put(o::kNav1Course, uint16_t{341});  // the VOR's needle centred on the way there
       p.directTo = true;
     }},
    {330, [](M& m, P& p) {  // levelling off at 5,500 ft: cruise
       m.Put(o::kApAltitudeHold, 1u);
       m.Put(o::kApAirspeed, uint16_t{110});
       m.Put(o::kApAirspeedHold, 1u);
       m.Put(o::kLights, uint16_t{kNavLights | kBeacon | kStrobes});
       for (auto offset : o::kCowlFlaps) m.Put(offset, 0.0);
       p.rpm = 2300;
     }},
    {360, [](M& m, P&) {
       VerticalSpeedTarget(m, 0);
       m.Put(o::kAudioSelector, uint8_t{kHearCom1 | kHearNav1 | kHearDme});
       m.Put(o::kCom2Active, uint16_t{0x2485});
       m.Put(o::kCom2Standby, uint16_t{0x2760});
     }},
    {538, [](M& m, P& p) {  // past CJN: radar vectors, down to 3,800 ft
       HeadingBug(m, 240);
       m.Put(o::kApNavHold, 0u);
       m.Put(o::kApHeadingHold, 1u);
       m.Put(o::kNavGpsSelector, 0u);
       m.Put(o::kApAltitudeHold, 0u);
       AltitudeTarget(m, 3800);
       VerticalSpeedTarget(m, -500);
       m.Put(o::kApAirspeed, uint16_t{100});
       m.Put(o::kCom1Active, uint16_t{0x2080});  // approach 120.80
       m.Put(o::kCom1Standby, uint16_t{0x2710});
       Qnh(m, 1018);
       p.rpm = 2000;
     }},
    {600, [](M& m, P& p) {  // set up for the ILS
       m.Put(o::kNav1Active, uint16_t{0x1090});
       m.Put(o::kNav1Standby, uint16_t{0x1390});
       m.Put(o::kNav1Course, static_cast<uint16_t>(kFinalCourse));
       m.Put(o::kNav2Active, uint16_t{0x1130});
       m.Put(o::kNav2Standby, uint16_t{0x0900});
       m.Put(o::kNav2Obs, static_cast<uint16_t>(kFinalCourse));
       Adf(m, 3720);  // NS, 372 kHz
       m.Put(o::kAdfCard, static_cast<uint16_t>(kFinalCourse));
       m.Put(o::kAudioSelector, uint8_t{kHearCom1 | kHearNav1 | kHearMarkers | kHearAdf});
       p.alignGyro = true;
     }},
    {640, [](M& m, P&) {  // cleared for the approach: localiser and glideslope armed
       for (auto offset : {o::kApGlideslopeHold, o::kApLocaliserHold, o::kApBackCourseHold,
                           o::kApNavHold, o::kApHeadingHold, o::kApAltitudeHold})
         m.Put(offset, 0u);
       m.Put(o::kApLocaliserHold, 1u);
       m.Put(o::kApGlideslopeHold, 1u);
       m.Put(o::kLights, uint16_t{kNavLights | kBeacon | kLanding | kStrobes});
       Flaps(m, 1);
     }},
    {770, [](M& m, P&) { m.Put(o::kApAltitudeHold, 1u); }},  // level, the glideslope ahead
    {875, [](M& m, P&) {  // on the glideslope: the missed approach's altitude, more flaps
       m.Put(o::kApAltitudeHold, 0u);
       AltitudeTarget(m, 5000);
       m.Put(o::kApAirspeed, uint16_t{90});
       Flaps(m, 2);
     }},
    {1040, [](M& m, P&) {  // short final
       Flaps(m, 3);
       m.Put(o::kApAirspeed, uint16_t{75});
       m.Put(o::kFuelPump, uint8_t{1});
       m.Put(o::kAudioSelector, uint8_t{kHearCom1 | kHearNav1 | kHearMarkers});
     }},
    {1076, [](M& m, P&) {  // the decision height, over the middle marker: landing by hand
       m.Put(o::kApMaster, 0u);
       m.Put(o::kApYawDamper, 0u);
     }},
    {1150, [](M& m, P&) {  // clear of the runway
       Flaps(m, 0);
       m.Put(o::kLights, uint16_t{kNavLights | kBeacon | kTaxi});
       m.Put(o::kFuelPump, uint8_t{0});
       m.Put(o::kPitotHeat, uint8_t{0});
       m.Put(o::kFlightDirector, 0);
       m.Put(o::kApLocaliserHold, 0u);
       m.Put(o::kApGlideslopeHold, 0u);
       m.Put(o::kApAirspeedHold, 0u);
       m.Put(o::kTransponder, uint16_t{0x7000});
       m.Put(o::kCom1Active, uint16_t{0x2190});  // ground 121.90
       m.Put(o::kCom1Standby, uint16_t{0x2080});
       for (auto offset : o::kCowlFlaps) m.Put(offset, 1.0);
     }},
};

}  // namespace

double Distance(Point from, Point to) { return std::hypot(to.east - from.east, to.north - from.north); }

double BearingTo(Point from, Point to) {
  return Wrap360(Degrees(std::atan2(to.east - from.east, to.north - from.north)));
}

double Wrap180(double degrees) { return std::remainder(degrees, 360.0); }

double Wrap360(double degrees) {
  const double d = std::fmod(degrees, 360.0);
  return d < 0 ? d + 360 : d;
}

Point Moved(Point from, double bearing, double miles) {
  const double radians = Radians(bearing);
  return {from.east + miles * std::sin(radians), from.north + miles * std::cos(radians)};
}

// Every station on a frequency the panels' commands can tune: NAV1 and NAV2 take BCD
// frequencies to the 50 kHz, ADF0 whole kilohertz below 1000.
std::span<const Station> Stations() {
  static const Station stations[] = {
      {"DPN", StationKind::kNdb, 3450, Moved(kApron, 90, 0.8), false},
      {"CJN", StationKind::kVor, 0x1390, kCjn, true},
      {"IDST", StationKind::kIls, 0x1090, kThreshold, true},
      {"DST", StationKind::kVor, 0x1130, kThreshold, true},
      {"NS", StationKind::kNdb, 3720, kOuterMarker, false},
  };
  return stations;
}

const Station* NavStation(uint16_t bcd) {
  for (const Station& s : Stations())
    if (s.kind != StationKind::kNdb && s.frequency == bcd) return &s;
  return nullptr;
}

const Station* AdfStation(uint32_t tenthsKhz) {
  for (const Station& s : Stations())
    if (s.kind == StationKind::kNdb && s.frequency == tenthsKhz) return &s;
  return nullptr;
}

Point Threshold() { return kThreshold; }

std::span<const Marker> Markers() {
  static const Marker markers[] = {
      {4.5, o::kMarker3}, {0.55, o::kMarker2}, {0.15, o::kMarker1}};
  return markers;
}

std::span<const Waypoint> Route() {
  static const Waypoint route[] = {{"CJN", kCjn}, {"NS", kOuterMarker}, {"RW21", kThreshold}};
  return route;
}

std::span<const Event> Script() { return kScript; }

}  // namespace tavelor::sim::circuit
