// The circuit, phase by phase, and the simulator's encodings of what it flies. Each step moves
// the aircraft towards the targets of its phase at the rates a light single manages: a standard
// rate turn, a few knots a second, a vertical speed that eases in.
#include "sim/flight.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "simlink/offsets.h"
#include "simlink/units.h"

namespace tavelor::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFeetPerMetre = static_cast<double>(units::kFeetPerMetre);
constexpr double kMetresPerNauticalMile = 1852;
constexpr double kTwoPow32 = 4294967296.0;
constexpr double kFieldElevation = 1998;      // feet, where the parked aircraft stands
constexpr double kStartLatitude = 40.5, kStartLongitude = -3.75, kStartHeading = 271.6;
constexpr double kTurnRate = 3;               // degrees per second: a standard rate turn
constexpr double kBankInTurn = 15;            // degrees
constexpr double kAcceleration = 2.5;         // knots per second
constexpr double kDmeAtTakeOff = 60;          // nautical miles to the VOR ahead

// What each phase of the circuit aims for.
struct Phase {
  double until;        // seconds into the circuit
  bool onGround;
  double groundSpeed;  // knots while on the ground
  double airspeed;     // knots, indicated
  double altitude;     // feet to reach
  double climbRate;    // feet per minute while the altitude is not reached
  double heading;      // degrees
  double rpm;
};

constexpr Phase kPhases[] = {
    {60, true, 12, 0, kFieldElevation, 0, kStartHeading, 1000},     // taxi out
    {95, true, 0, 70, kFieldElevation, 0, 270, 2450},               // take-off roll
    {200, false, 0, 80, 5500, 700, 270, 2400},                      // climb out
    {420, false, 0, 80, 5500, 700, 330, 2400},                      // climbing turn
    {620, false, 0, 110, 5500, 700, 330, 2300},                     // cruise, VOR ahead
    {900, false, 0, 110, 5500, 700, 300, 2300},                     // cruise after a turn
    {1000, false, 0, 100, 3500, 500, 300, 2000},                    // descent
    {1200, false, 0, 95, 3500, 500, 240, 2200},                     // descending turn
};

const Phase& PhaseAt(double time) {
  for (const Phase& phase : kPhases)
    if (time < phase.until) return phase;
  return kPhases[std::size(kPhases) - 1];
}

double Towards(double value, double target, double maxChange) {
  return value + std::clamp(target - value, -maxChange, maxChange);
}

// The shortest signed turn from one heading to another, -180 to 180.
double TurnBetween(double from, double to) { return std::remainder(to - from, 360.0); }

// A 32-bit angle, 2^32 units to a full turn.
int32_t AngleUnits(double degrees) {
  return static_cast<int32_t>(static_cast<int64_t>(std::llround(degrees / 360 * kTwoPow32)));
}

// Two's complement in 16 bits, as the simulator keeps small signed values.
uint16_t Signed16(double value) { return static_cast<uint16_t>(static_cast<int32_t>(std::lround(value))); }

offsets::CallSign CallSign(const char* text) {
  offsets::CallSign bytes{};  // zero-filled: shorter call signs end with zero bytes
  std::memcpy(bytes.data(), text, std::min(std::strlen(text), bytes.size()));
  return bytes;
}

// Three aircraft near ours, each flying its own circle around it.
struct Traffic {
  uint32_t id;
  const char* callSign;
  double radius;        // nautical miles
  double period;        // seconds per circle
  double altitudeOffset;  // feet above ours, swinging by half of it
  double verticalSpeed;   // feet per minute shown
};

constexpr Traffic kTraffic[] = {
    {1001, "EZY4RN", 6, 300, 1500, -700},
    {1002, "IBE3156", 9, 420, -1000, 500},
    {1003, "N172SP", 3, 180, 500, 0},
};

}  // namespace

void Flight::Reset() {
  time_ = 0;
  pending_ = 0;
  travelled_ = 0;
  state_ = State{};
  state_.latitude = kStartLatitude;
  state_.longitude = kStartLongitude;
  state_.altitude = kFieldElevation;
  state_.heading = kStartHeading;
  state_.fuel = 0.9;
}

void Flight::Start(OffsetMemory& memory) {
  if (!started_) Reset();
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
    Step();
  }
  Write(memory);
}

void Flight::Step() {
  const double dt = kStepSeconds;
  const Phase& phase = PhaseAt(time_);
  State& s = state_;

  // Heading: a standard rate turn towards the phase's heading, banked while turning.
  const double turn = TurnBetween(s.heading, phase.heading);
  const double change = std::clamp(turn, -kTurnRate * dt, kTurnRate * dt);
  s.heading = std::fmod(s.heading + change + 360, 360);
  s.bank = phase.onGround ? 0 : Towards(s.bank, std::abs(turn) > 0.5 ? std::copysign(kBankInTurn, turn) : 0, 5 * dt);

  // Speed, height and attitude.
  s.airspeed = Towards(s.airspeed, phase.airspeed, kAcceleration * dt);
  // The climb eases off as the altitude comes near: 3 feet per minute for every foot to go.
  const double targetClimb =
      phase.onGround ? 0 : std::clamp((phase.altitude - s.altitude) * 3, -phase.climbRate, phase.climbRate);
  s.verticalSpeed = Towards(s.verticalSpeed, targetClimb, 100 * dt);
  s.altitude = std::max(kFieldElevation, s.altitude + s.verticalSpeed / 60 * dt);
  s.pitch = phase.onGround ? 0 : 2 + s.verticalSpeed / 250;

  // Position: along the heading at the ground speed; the true airspeed grows with height.
  const double trueAirspeed = s.airspeed * (1 + s.altitude / 1000 * 0.02);
  const double groundSpeed = phase.onGround ? std::max(phase.groundSpeed, s.airspeed) : trueAirspeed;
  const double miles = groundSpeed * dt / 3600;
  const double radians = s.heading * kPi / 180;
  s.latitude += miles / 60 * std::cos(radians);
  s.longitude += miles / 60 * std::sin(radians) / std::cos(s.latitude * kPi / 180);
  if (!phase.onGround) travelled_ += miles;

  // About 9 US gallons an hour from two 26-gallon tanks.
  s.fuel = std::max(0.0, s.fuel - phase.rpm / 2300 * 9.0 / 2 / 26 / 3600 * dt);

  time_ += dt;
  if (time_ >= kCircuitSeconds) Reset();  // back to the apron for the next circuit
}

void Flight::Write(OffsetMemory& memory) const {
  namespace o = offsets;
  const State& s = state_;
  const Phase& phase = PhaseAt(time_);
  const double trueAirspeed = s.airspeed * (1 + s.altitude / 1000 * 0.02);
  const double groundSpeed = phase.onGround ? std::max(phase.groundSpeed, s.airspeed) : trueAirspeed;

  // Where and how it flies.
  memory.Put(o::kLatitude, static_cast<int64_t>(std::llround(s.latitude / 90 * 10001750.0 * kTwoPow32)));
  memory.Put(o::kLongitude, static_cast<int64_t>(std::llround(s.longitude / 360 * kTwoPow32 * kTwoPow32)));
  memory.Put(o::kHeading, s.heading);
  memory.Put(o::kAltitudeFeet, static_cast<uint16_t>(std::lround(s.altitude)));
  memory.Put(o::kRadioAltitude,
      static_cast<uint32_t>(std::lround((s.altitude - kFieldElevation) / kFeetPerMetre * 65536)));
  memory.Put(o::kIndicatedAirspeed, static_cast<int32_t>(std::lround(s.airspeed * 128)));
  memory.Put(o::kTrueAirspeed, static_cast<int32_t>(std::lround(trueAirspeed * 128)));
  memory.Put(o::kGroundSpeed,
      static_cast<int32_t>(std::lround(groundSpeed * kMetresPerNauticalMile / 3600 * 65536)));
  memory.Put(o::kVerticalSpeed,
      static_cast<int32_t>(std::lround(s.verticalSpeed / 60 / kFeetPerMetre * 256)));
  memory.Put(o::kMach, static_cast<uint16_t>(std::lround(trueAirspeed / 661.47 * 20480)));
  memory.Put(o::kPitch, AngleUnits(-s.pitch));  // the simulator counts nose up as negative
  memory.Put(o::kBank, AngleUnits(s.bank));
  memory.Put(o::kOutsideAirTemp, Signed16((15 - s.altitude / 1000 * 2) * 256));

  // The VOR ahead and the GPS leg towards it.
  const double dme = std::max(0.5, kDmeAtTakeOff - travelled_);
  memory.Put(o::kDme1Distance, static_cast<uint16_t>(std::lround(dme * 10)));
  memory.Put(o::kNav1Ident, o::Ident{'C', 'J', 'N', 0, 0, 0});
  memory.Put(o::kNav1ToFrom, uint8_t{1});
  memory.Put(o::kNav1Needle, static_cast<uint8_t>(Signed16(std::sin(time_ / 40) * 30)));
  memory.Put(o::kGpsNextId, o::Ident{'L', 'E', 'M', 'D', 0, 0});
  memory.Put(o::kGpsDistance, dme * kMetresPerNauticalMile);
  memory.Put(o::kGpsTimeToGo, static_cast<int32_t>(groundSpeed > 1 ? dme / groundSpeed * 3600 : 0));
  memory.Put(o::kGpsCourse, s.heading * kPi / 180);
  memory.Put(o::kGpsCrossTrack, std::sin(time_ / 60) * 300);

  // Engine and fuel.
  memory.Put(o::kEngineRpm, phase.rpm);
  memory.Put(o::kFuelFlow, static_cast<int32_t>(std::lround(phase.rpm / 2300 * 9 * 128)));
  memory.Put(o::kLeftTankLevel, static_cast<int32_t>(std::lround(s.fuel * 8388608)));
  memory.Put(o::kRightTankLevel, static_cast<int32_t>(std::lround(s.fuel * 8388608)));
  memory.Put(o::kOilTemperature, static_cast<uint16_t>(std::lround(std::min(time_ / 3, 85.0) / 140 * 16384)));
  memory.Put(o::kOilPressure, static_cast<uint16_t>(std::lround(phase.rpm / 2500 * 50 / 55 * 16384)));
  memory.Put(o::kExhaustGasTemp, static_cast<uint16_t>(std::lround((400 + phase.rpm / 8) / 860 * 16384)));
  memory.Put(o::kManifoldPressure, static_cast<uint16_t>(std::lround((10 + phase.rpm / 170) * 1024)));
  memory.Put(o::kCylinderHeadTemp, 250 + phase.rpm / 20);
  memory.Put(o::kSuction, 5.0);
  memory.Put(o::kAmmeter, 2.0);
  memory.Put(o::kBusVoltage, 28.0);

  // The clock: a circuit that starts at 14:00 local, 13:00 UTC.
  const int seconds = static_cast<int>(time_);
  memory.Put(o::kLocalHour, static_cast<uint8_t>(14 + seconds / 3600));
  memory.Put(o::kLocalMinute, static_cast<uint8_t>(seconds / 60 % 60));
  memory.Put(o::kLocalSecond, static_cast<uint8_t>(seconds % 60));
  memory.Put(o::kUtcHour, static_cast<uint8_t>(13 + seconds / 3600));
  memory.Put(o::kUtcMinute, static_cast<uint8_t>(seconds / 60 % 60));

  // The traffic: each aircraft on its circle around ours, in slots 1 to 3.
  for (size_t i = 0; i < std::size(kTraffic); ++i) {
    const Traffic& t = kTraffic[i];
    const o::TrafficSlot slot = o::Traffic(static_cast<int>(i) + 1);
    const double angle = 2 * kPi * time_ / t.period + static_cast<double>(i);
    const double latitude = s.latitude + t.radius / 60 * std::cos(angle);
    const double longitude = s.longitude + t.radius / 60 * std::sin(angle) / std::cos(s.latitude * kPi / 180);
    const double altitude = s.altitude + t.altitudeOffset * (0.75 + 0.25 * std::sin(angle));
    memory.Put(slot.id, t.id);
    memory.Put(slot.latitude, static_cast<float>(latitude));
    memory.Put(slot.longitude, static_cast<float>(longitude));
    memory.Put(slot.altitude, static_cast<float>(altitude));
    memory.Put(slot.verticalSpeed, Signed16(t.verticalSpeed));
    memory.Put(slot.callSign, CallSign(t.callSign));
  }
}

}  // namespace tavelor::sim
