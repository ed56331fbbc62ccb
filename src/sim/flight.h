// The stand-in aircraft in motion: a short, always identical circuit flown from the apron, so
// every panel has something to show move. It taxis out, takes off, climbs with a turn, cruises
// towards a VOR whose DME counts down, turns again, descends, and then starts over from the
// apron. Three other aircraft move through the traffic table and the fuel burns.
//
// The flight is a function of its own clock only: the same flight time always gives the same
// values, whatever the host's speed, so tests can fly it faster than real time.
#pragma once

#include "sim/sim_peer.h"

namespace tavelor::sim {

class Flight {
 public:
  static constexpr double kCircuitSeconds = 1200;  // then it starts over from the apron
  static constexpr double kStepSeconds = 0.1;      // the model moves in steps of this size

  bool Flying() const { return flying_; }
  // Starts (or goes on with) the flight, writing its values at once.
  void Start(OffsetMemory& memory);
  // Stops moving; every value stays where it was.
  void Stop() { flying_ = false; }
  // Flies on by `seconds` of flight time, in whole steps, and writes the values reached.
  void Advance(OffsetMemory& memory, double seconds);

 private:
  struct State {
    double latitude = 0, longitude = 0;  // degrees
    double altitude = 0;                 // feet
    double heading = 0;                  // degrees, true
    double airspeed = 0;                 // knots, indicated
    double verticalSpeed = 0;            // feet per minute
    double bank = 0, pitch = 0;          // degrees, right wing down and nose up positive
    double fuel = 0;                     // fraction of full, each tank
  };
  void Reset();
  void Step();
  void Write(OffsetMemory& memory) const;

  bool flying_ = false;
  bool started_ = false;
  double time_ = 0;
  double pending_ = 0;   // flight time not yet flown, less than one step
  double travelled_ = 0; // nautical miles since the cruise began, for the DME
  State state_;
};

}  // namespace tavelor::sim
