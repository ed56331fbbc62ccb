// The stand-in aircraft in motion: a light single flying an always identical circuit, so every
// panel has something to show move. It runs up and taxis out, takes off, climbs to 5,500 ft
// towards a VOR whose DME counts down, is vectored onto an ILS, flies it down past the three
// marker beacons and lands; then it starts over from the apron. Three other aircraft move
// through the traffic table and the fuel burns.
//
// The pilot's script (sim/circuit.h) sets switches, radios and the autopilot through the
// simulator's offsets at fixed moments; the aircraft flies what the autopilot's offsets say, so
// a panel that turns the heading bug or tunes a radio sees the aircraft and its instruments
// answer until the pilot's next action. Without such writes the flight is a function of its
// own clock only: the same moment always gives the same values, whatever the host's speed, so
// tests can fly it faster than real time or jump to a moment.
#pragma once

#include <cstddef>

#include "sim/world/circuit.h"
#include "sim/offset_memory.h"
#include "sim/world/receivers.h"

namespace tavelor::sim {

class Flight {
 public:
  static constexpr double kCircuitSeconds = 1200;  // then it starts over from the apron
  static constexpr double kStepSeconds = 0.1;      // the model moves in steps of this size

  bool Flying() const { return flying_; }
  double Time() const { return time_; }
  // Starts (or goes on with) the flight, writing its values at once.
  void Start(OffsetMemory& memory);
  // Stops moving; every value stays where it was.
  void Stop() { flying_ = false; }
  // Flies on by `seconds` of flight time, in whole steps, and writes the values reached.
  void Advance(OffsetMemory& memory, double seconds);
  // Puts the aircraft where the circuit has it `seconds` (0 to kCircuitSeconds) after its start,
  // with every setting the pilot made until then, and writes it all. Flying or held as before.
  void JumpTo(OffsetMemory& memory, double seconds);

 private:
  enum class Phase { kStanding, kTaxi, kTakeOffRoll, kAirborne, kRollOut };
  struct State {
    Phase phase = Phase::kStanding;
    circuit::Point at;
    double altitude = 0;          // feet
    double heading = 0;           // degrees
    double airspeed = 0;          // knots, indicated (the ground speed while taxiing)
    double acceleration = 0;      // knots per second
    double verticalSpeed = 0;     // feet per minute
    double bank = 0, pitch = 0;   // degrees, right wing down and nose up positive
    double turnRate = 0;          // degrees per second, right positive
    double slip = 0;              // the ball, -1 to 1, right positive
    double commandedPitch = 0, commandedBank = 0;  // the flight director's bars
    double rpm = 0, cylinderHead = 0;
    double fuel = 0;              // fraction of full, each tank
    double gyroAligned = 0;       // when the heading indicator was last set to the compass
    bool localiserCaptured = false, glideslopeCaptured = false;
    size_t leg = 0;               // the GPS leg flown: towards Route()[leg]
    circuit::Point legFrom;
  };
  void Reset(OffsetMemory& memory);
  void Step(OffsetMemory& memory);
  void RunScript(OffsetMemory& memory);
  double DesiredHeading(const OffsetMemory& memory, const Position& position);
  double CommandedVerticalSpeed(const OffsetMemory& memory, const Position& position);
  void Write(OffsetMemory& memory) const;
  Position Where() const;
  void WriteTraffic(OffsetMemory& memory) const;

  bool flying_ = false;
  bool started_ = false;
  double time_ = 0;
  double pending_ = 0;   // flight time not yet flown, less than one step
  size_t nextEvent_ = 0;
  circuit::Pilot pilot_;
  State state_;
};

}  // namespace tavelor::sim
