// The aircraft's guidance and motion, step by step, and the simulator's encodings of what it
// flies. Each step turns towards the heading its guidance asks for at up to a standard rate,
// banked as the turn needs; changes speed by a few knots a second; and eases its vertical speed
// towards what the altitude target, the glideslope or the flare asks for.
#include "sim/world/flight.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "sim/world/encodings.h"
#include "simlink/offsets.h"
#include "simlink/units.h"

namespace tavelor::sim {

namespace {

namespace o = offsets;
using circuit::Point;

constexpr double kStartLatitude = 40.5, kStartLongitude = -3.75;
constexpr double kTaxiSpeed = 12, kRotationSpeed = 55;  // knots
constexpr double kStandardRate = 3;                     // degrees per second
constexpr double kFeetPerMinutePerKnot = kFeetPerNauticalMile / 60;  // one knot, straight up
constexpr double kFeetPerSecondPerKnot = kFeetPerNauticalMile / 3600;
constexpr double kSpeedOfSound = 661.47;  // knots, in the standard sea-level air
// A coordinated turn's rate in degrees per second is this times the bank's tangent over the
// true airspeed in knots.
constexpr double kTurnRateFactor = 1091;

double Towards(double value, double target, double maxChange) {
  return value + std::clamp(target - value, -maxChange, maxChange);
}

double TrueAirspeed(double indicated, double altitude) { return indicated * (1 + altitude / 1000 * 0.02); }

// The wind veers and strengthens with height, as it usually does.
struct Wind {
  double from, knots;
};
Wind WindAt(double altitude) {
  const double above = std::max(0.0, altitude - circuit::kDepartureElevation);
  return {270 + std::min(above / 100, 40.0), 5 + std::min(above / 250, 20.0)};
}

// The ground under the aircraft, sloping from one field to the other.
double TerrainAt(Point at) {
  const double fromDeparture = circuit::Distance({0, 0}, at);
  const double toDestination = circuit::Distance(at, circuit::Threshold());
  const double share = fromDeparture / std::max(fromDeparture + toDestination, 0.01);
  return circuit::kDepartureElevation + share * (circuit::kDestinationElevation - circuit::kDepartureElevation);
}

// The track to fly to come back onto a course line `miles` to its side (positive: the line
// lies to the right), meeting it at up to 30 degrees.
double InterceptTrack(double course, double milesToTheRight) {
  return course + std::clamp(milesToTheRight * 100, -30.0, 30.0);
}

// Three aircraft near ours, each on its own circle around it, climbing and descending.
struct Traffic {
  uint32_t id;
  const char* callSign;
  double radius;      // nautical miles
  double period;      // seconds per circle
  double altitude;    // feet above ours, on average
  double swing;       // feet up and down from that
  double swingPeriod; // seconds
};

constexpr Traffic kTraffic[] = {
    {1001, "EZY4RN", 6, 300, 1500, 1200, 240},
    {1002, "IBE3156", 9, 420, -1000, 900, 360},
    {1003, "N172SP", 3, 180, 500, 400, 150},
};

}  // namespace

void Flight::Reset(OffsetMemory& memory) {
  time_ = 0;
  pending_ = 0;
  nextEvent_ = 0;
  state_ = State{};
  state_.altitude = circuit::kDepartureElevation;
  state_.heading = 271.6;  // as parked, a little off the taxiway's line
  state_.fuel = 0.9;
  state_.rpm = 1000;
  state_.cylinderHead = 300;
  RunScript(memory);
}

void Flight::Start(OffsetMemory& memory) {
  if (!started_) Reset(memory);
  started_ = true;
  flying_ = true;
  Write(memory);
}

void Flight::Advance(OffsetMemory& memory, double seconds) {
  if (!flying_ || !(seconds > 0)) return;
  // A host that stalls (or a flight switched on after a long quiet spell) does not jump ahead.
  pending_ += std::min(seconds, 1.0);
  while (pending_ >= kStepSeconds) {
    pending_ -= kStepSeconds;
    Step(memory);
  }
  Write(memory);
}

void Flight::JumpTo(OffsetMemory& memory, double seconds) {
  // Whole steps from the circuit's start, so a moment always lands on the same step; the last
  // step of the circuit is the last moment before it starts over.
  const long last = std::lround(kCircuitSeconds / kStepSeconds) - 1;
  const long steps = std::clamp(std::lround(std::max(seconds, 0.0) / kStepSeconds), 0L, last);
  if (!started_ || steps < std::lround(time_ / kStepSeconds)) Reset(memory);
  started_ = true;
  while (std::lround(time_ / kStepSeconds) < steps) Step(memory);
  pending_ = 0;
  Write(memory);
}

void Flight::RunScript(OffsetMemory& memory) {
  const auto script = circuit::Script();
  while (nextEvent_ < script.size() && script[nextEvent_].at <= time_ + kStepSeconds / 2) {
    script[nextEvent_++].act(memory, pilot_);
  }
  if (pilot_.directTo) {
    pilot_.directTo = false;
    state_.legFrom = state_.at;
  }
  if (pilot_.alignGyro) {
    pilot_.alignGyro = false;
    state_.gyroAligned = time_;
  }
}

Position Flight::Where() const {
  const State& s = state_;
  Position p{s.at, s.altitude, s.heading, s.airspeed, s.heading};
  if (s.phase != Phase::kAirborne) return p;
  // In the air the wind carries the aircraft: its track and ground speed differ from its
  // heading and true airspeed.
  const double tas = TrueAirspeed(s.airspeed, s.altitude);
  const Wind wind = WindAt(s.altitude);
  const double east = tas * std::sin(Radians(s.heading)) - wind.knots * std::sin(Radians(wind.from));
  const double north = tas * std::cos(Radians(s.heading)) - wind.knots * std::cos(Radians(wind.from));
  p.groundSpeed = std::hypot(east, north);
  p.track = circuit::Wrap360(Degrees(std::atan2(east, north)));
  return p;
}

double Flight::DesiredHeading(const OffsetMemory& m, const Position& p) {
  State& s = state_;
  const double bug = DegreesOf16(m.Get(o::kApHeading));
  double track = -1;  // none: fly the heading bug
  if (m.Get(o::kApLocaliserHold) != 0) {
    const NavReading nav1 = ReadNav(m.Get(o::kNav1Active), m.Get(o::kNav1Course), p);
    const bool localiser = nav1.station && nav1.station->kind == circuit::StationKind::kIls;
    // Armed, it captures once the needle comes off its stop.
    if (localiser && (s.localiserCaptured || std::fabs(nav1.deviation) < 2.5)) {
      s.localiserCaptured = true;
      track = InterceptTrack(nav1.course, nav1.lateral);
    }
  } else if (m.Get(o::kApNavHold) != 0) {
    if (m.Get(o::kNavGpsSelector) != 0) {
      const Point to = circuit::Route()[s.leg].at;
      const double course = circuit::BearingTo(s.legFrom, to);
      const double off = circuit::Wrap180(circuit::BearingTo(s.legFrom, p.at) - course);
      const double crossTrack = circuit::Distance(s.legFrom, p.at) * std::sin(Radians(off));
      track = InterceptTrack(course, -crossTrack);
    } else {
      const NavReading nav1 = ReadNav(m.Get(o::kNav1Active), m.Get(o::kNav1Course), p);
      if (nav1.station) track = InterceptTrack(nav1.course, nav1.lateral);
    }
  }
  if (m.Get(o::kApLocaliserHold) == 0) s.localiserCaptured = false;
  if (track < 0) return bug;
  // Into the wind by as much as it blows across the track.
  const Wind wind = WindAt(s.altitude);
  const double tas = std::max(TrueAirspeed(s.airspeed, s.altitude), 30.0);
  return track + Degrees(std::asin(std::clamp(wind.knots * std::sin(Radians(wind.from - track)) / tas, -0.5, 0.5)));
}

double Flight::CommandedVerticalSpeed(const OffsetMemory& m, const Position& p) {
  State& s = state_;
  const double height = s.altitude - TerrainAt(s.at);
  if (s.glideslopeCaptured && height < 35) return height < 10 ? -80 : -200;  // the flare
  if (m.Get(o::kApGlideslopeHold) != 0) {
    const NavReading nav1 = ReadNav(m.Get(o::kNav1Active), m.Get(o::kNav1Course), p);
    // Armed, it captures as the aircraft meets the glideslope from below.
    if (nav1.glideslope && (s.glideslopeCaptured || nav1.aboveGlideslope > -0.05)) {
      s.glideslopeCaptured = true;
      const double slope = std::tan(Radians(circuit::kGlideslopeDegrees));
      const double onSlope =
          circuit::kDestinationElevation + (nav1.toThreshold + circuit::kGlideslopeAim) * kFeetPerNauticalMile * slope;
      return -p.groundSpeed * kFeetPerMinutePerKnot * slope + (onSlope - s.altitude) * 3;
    }
  } else if (s.glideslopeCaptured && s.phase == Phase::kAirborne) {
    s.glideslopeCaptured = false;
  }
  const double target = FeetOf65536(m.Get(o::kApAltitude));
  const double rate = std::fabs(static_cast<int16_t>(m.Get(o::kApVerticalSpeed)));
  // The climb or descent eases off as the altitude comes near: 3 ft/min for every foot to go.
  return std::clamp((target - s.altitude) * 3, -rate, rate);
}

void Flight::Step(OffsetMemory& m) {
  RunScript(m);
  const double dt = kStepSeconds;
  State& s = state_;
  const Position p = Where();
  const double previousBank = s.bank, previousSpeed = s.airspeed;

  if (s.phase != Phase::kAirborne) {
    // On the ground: along the runway's line at the speed the phase calls for.
    if (s.phase == Phase::kStanding && pilot_.taxiing) s.phase = Phase::kTaxi;
    if (s.phase == Phase::kTaxi && pilot_.takeOff) s.phase = Phase::kTakeOffRoll;
    const double speed = s.phase == Phase::kTakeOffRoll                       ? 200
                         : s.phase == Phase::kRollOut || pilot_.taxiing ? kTaxiSpeed
                                                                        : 0;
    s.airspeed = Towards(s.airspeed, speed, (s.phase == Phase::kTakeOffRoll ? 2.5 : 3) * dt);
    // Along the runway's line: the departure's, or after the touchdown the destination's.
    const double runway = s.phase == Phase::kRollOut ? circuit::kFinalCourse : circuit::kRunwayHeading;
    if (s.phase != Phase::kStanding)
      s.heading = circuit::Wrap360(s.heading + std::clamp(circuit::Wrap180(runway - s.heading), -dt, dt));
    s.bank = s.turnRate = s.verticalSpeed = 0;
    s.pitch = s.phase == Phase::kRollOut ? std::max(0.0, s.pitch - dt) : 0;
    if (s.phase == Phase::kTakeOffRoll && s.airspeed >= kRotationSpeed) s.phase = Phase::kAirborne;
  } else {
    // The turn: a standard rate at most, banked as much as the speed needs.
    const double tas = std::max(TrueAirspeed(s.airspeed, s.altitude), 30.0);
    const double wantedRate = std::clamp(circuit::Wrap180(DesiredHeading(m, p) - s.heading) * 0.5,
                                         -kStandardRate, kStandardRate);
    s.commandedBank = Degrees(std::atan(wantedRate * tas / kTurnRateFactor));
    s.bank = Towards(s.bank, s.commandedBank, 5 * dt);
    s.turnRate = kTurnRateFactor * std::tan(Radians(s.bank)) / tas;
    s.heading = circuit::Wrap360(s.heading + s.turnRate * dt);

    const double target = m.Get(o::kApAirspeed);
    s.airspeed = Towards(s.airspeed, std::clamp(target, 60.0, 140.0), 1.0 * dt);
    const double wantedClimb = CommandedVerticalSpeed(m, p);
    s.verticalSpeed = Towards(s.verticalSpeed, wantedClimb, 150 * dt);
    s.altitude += s.verticalSpeed / 60 * dt;
    const double flightPath = Degrees(std::atan(s.verticalSpeed / (tas * kFeetPerMinutePerKnot)));
    s.commandedPitch = 2 + Degrees(std::atan(wantedClimb / (tas * kFeetPerMinutePerKnot)));
    s.pitch = 2 + flightPath;
    const double terrain = TerrainAt(s.at);
    if (s.altitude <= terrain) {  // the touchdown
      s.altitude = terrain;
      s.phase = Phase::kRollOut;
      pilot_.rpm = 900;
    }
  }
  s.slip = std::clamp((s.bank - previousBank) / dt / 10, -1.0, 1.0);
  s.acceleration = (s.airspeed - previousSpeed) / dt;

  // Position: along the track at the ground speed.
  const Position moved = Where();
  s.at = circuit::Moved(s.at, moved.track, moved.groundSpeed * dt / 3600);

  // The GPS passes a waypoint once it is abeam.
  const auto route = circuit::Route();
  const Point to = route[s.leg].at;
  if (s.leg + 1 < route.size() &&
      std::cos(Radians(circuit::BearingTo(s.at, to) - circuit::BearingTo(s.legFrom, to))) <= 0) {
    s.legFrom = to;
    ++s.leg;
  }

  // The engine follows the throttle within a few seconds; the cylinders warm up slowly.
  s.rpm = Towards(s.rpm, pilot_.rpm, 300 * dt);
  s.cylinderHead = Towards(s.cylinderHead, 250 + s.rpm / 20, 0.5 * dt);
  // About 9 US gallons an hour from two 26-gallon tanks at cruise power.
  s.fuel = std::max(0.0, s.fuel - s.rpm / 2300 * 9.0 / 2 / 26 / 3600 * dt);

  time_ += dt;
  if (time_ >= kCircuitSeconds - kStepSeconds / 2) Reset(m);  // back to the apron
}

void Flight::Write(OffsetMemory& m) const {
  const State& s = state_;
  const Position p = Where();
  const double tas = TrueAirspeed(s.airspeed, s.altitude);

  // Where and how it flies. The simulator counts pitch nose down and bank left wing down as
  // positive: both the other way round from the cockpit's view.
  const double latitude = kStartLatitude + s.at.north / 60;
  const double longitude = kStartLongitude + s.at.east / 60 / std::cos(Radians(kStartLatitude));
  m.Put(o::kLatitude, LatitudeUnits(latitude));
  m.Put(o::kLongitude, LongitudeUnits(longitude));
  m.Put(o::kHeading, s.heading);
  m.Put(o::kAltitudeFeet, static_cast<uint16_t>(std::lround(s.altitude)));
  m.Put(o::kRadioAltitude, static_cast<uint32_t>(Metres65536(std::max(0.0, s.altitude - TerrainAt(s.at)))));
  m.Put(o::kIndicatedAirspeed, Knots128(s.airspeed));
  m.Put(o::kTrueAirspeed, Knots128(tas));
  m.Put(o::kGroundSpeed, GroundSpeed65536(p.groundSpeed));
  m.Put(o::kVerticalSpeed, VerticalSpeed256(s.verticalSpeed));
  m.Put(o::kMach, Mach20480(tas / kSpeedOfSound));
  m.Put(o::kAce, s.acceleration * kFeetPerSecondPerKnot);  // feet per second per second, along the path
  m.Put(o::kPitch, Angle32(-s.pitch));
  m.Put(o::kBank, Angle32(-s.bank));
  m.Put(o::kTurnRate, Signed16(s.turnRate / kStandardRate * 512));  // 512: a standard rate right
  m.Put(o::kTurnBall, static_cast<uint8_t>(Signed16(s.slip * 40)));
  const bool director = m.Get(o::kFlightDirector) != 0;
  m.Put(o::kFlightDirectorValue1, director ? -s.commandedPitch : 0.0);
  m.Put(o::kFlightDirectorValue2, director ? -s.commandedBank : 0.0);
  // The trim follows the speed: nose up when slow.
  const double trimFull = o::kTrimFull;
  m.Put(o::kElevatorTrim, Signed16(std::clamp((90 - s.airspeed) * 120 + 1500, -trimFull, trimFull)));
  // The heading indicator's gyro drifts a few degrees between two settings to the compass.
  m.Put(o::kGyroDrift, Angle16((time_ - s.gyroAligned) * 0.004));

  // The air.
  const Wind wind = WindAt(s.altitude);
  m.Put(o::kOutsideAirTemp, Celsius256(15 - s.altitude / 1000 * 2));
  m.Put(o::kWindSpeed, static_cast<uint16_t>(std::lround(wind.knots)));
  m.Put(o::kWindDirection, Angle16(wind.from));

  WriteReceivers(m, p);

  // The GPS leg.
  const circuit::Waypoint& next = circuit::Route()[s.leg];
  const double miles = circuit::Distance(s.at, next.at);
  const double course = circuit::BearingTo(s.legFrom, next.at);
  const double off = circuit::Wrap180(circuit::BearingTo(s.legFrom, s.at) - course);
  o::Ident ident{};
  std::memcpy(ident.data(), next.ident, std::min(std::strlen(next.ident), ident.size()));
  m.Put(o::kGpsNextId, ident);
  m.Put(o::kGpsDistance, miles * units::kMetresPerNauticalMile);
  m.Put(o::kGpsTimeToGo, static_cast<int32_t>(p.groundSpeed > 1 ? miles / p.groundSpeed * 3600 : 0));
  m.Put(o::kGpsCourse, Radians(course));
  // Metres off the leg's line, right of it positive.
  m.Put(o::kGpsCrossTrack, circuit::Distance(s.legFrom, s.at) * std::sin(Radians(off)) * units::kMetresPerNauticalMile);

  // Engine, fuel and electrics.
  const double power = s.rpm / 2300;
  const double ambient = 29.92 - s.altitude / 1000;  // inches of mercury
  m.Put(o::kEngineRpm, s.rpm);
  m.Put(o::kFuelFlow, static_cast<int32_t>(std::lround(power * 9 * units::kFuelFlow128)));
  m.Put(o::kLeftTankLevel, TankLevel(s.fuel));
  m.Put(o::kRightTankLevel, TankLevel(s.fuel));
  m.Put(o::kOilTemperature, GaugeWord(std::min(60 + time_ / 20, 85.0), units::kOilTemperatureFullScale));
  m.Put(o::kOilPressure, GaugeWord(s.rpm / 2500 * 50, units::kOilPressureFullScale));
  m.Put(o::kExhaustGasTemp, GaugeWord(400 + s.rpm / 8, units::kEgtFullScale));
  const double manifold = std::min(ambient, 10 + std::max(0.0, s.rpm - 700) / 1800 * (ambient - 10));
  m.Put(o::kManifoldPressure, static_cast<uint16_t>(std::lround(manifold * units::kInHg1024)));
  m.Put(o::kCylinderHeadTemp, s.cylinderHead);
  // The electric pump adds its pound per square inch.
  m.Put(o::kFuelPressure, static_cast<int32_t>(std::lround((4 + power + m.Get(o::kFuelPump)) * units::kPsi144)));
  m.Put(o::kSuction, 4.5 + 0.5 * std::min(1.0, s.rpm / 2000));
  m.Put(o::kAmmeter, 2 + 6 * std::exp(-time_ / 120));  // charging the battery after the start
  m.Put(o::kBusVoltage, 27.4 + 0.6 * std::min(1.0, s.rpm / 1800));

  // The clock: a circuit that starts at 14:00 local, 13:00 UTC.
  const int seconds = static_cast<int>(time_);
  m.Put(o::kLocalHour, static_cast<uint8_t>(14 + seconds / 3600));
  m.Put(o::kLocalMinute, static_cast<uint8_t>(seconds / 60 % 60));
  m.Put(o::kLocalSecond, static_cast<uint8_t>(seconds % 60));
  m.Put(o::kUtcHour, static_cast<uint8_t>(13 + seconds / 3600));
  m.Put(o::kUtcMinute, static_cast<uint8_t>(seconds / 60 % 60));

  WriteTraffic(m);
}

void Flight::WriteTraffic(OffsetMemory& m) const {
  // Each aircraft on its circle around ours, in slots 1 to 3, its vertical speed that of the
  // height it is changing.
  const State& s = state_;
  for (size_t i = 0; i < std::size(kTraffic); ++i) {
    const Traffic& t = kTraffic[i];
    const o::TrafficSlot slot = o::Traffic(static_cast<int>(i) + 1);
    const double angle = 2 * std::numbers::pi * time_ / t.period + static_cast<double>(i);
    const double swing = 2 * std::numbers::pi * time_ / t.swingPeriod + static_cast<double>(i);
    const double latitude = kStartLatitude + (s.at.north + t.radius * std::cos(angle)) / 60;
    const double longitude = kStartLongitude + (s.at.east + t.radius * std::sin(angle)) / 60 /
                                                   std::cos(Radians(kStartLatitude));
    const double altitude = s.altitude + t.altitude + t.swing * std::sin(swing);
    const double climb = s.verticalSpeed + t.swing * std::cos(swing) * 2 * std::numbers::pi / t.swingPeriod * 60;
    o::CallSign callSign{};
    std::memcpy(callSign.data(), t.callSign, std::min(std::strlen(t.callSign), callSign.size()));
    m.Put(slot.id, t.id);
    m.Put(slot.latitude, static_cast<float>(latitude));
    m.Put(slot.longitude, static_cast<float>(longitude));
    m.Put(slot.altitude, static_cast<float>(altitude));
    m.Put(slot.verticalSpeed, Signed16(climb));
    m.Put(slot.callSign, callSign);
  }
}

}  // namespace tavelor::sim
