// What the stand-in's radios receive where the aircraft is: each NAV receiver shows the station
// on the frequency it is tuned to (so tuning it, from the cockpit or from a panel, changes what
// its needles, flags, identifier and DME show), the ADF points at its beacon, and the marker
// lights come on over the marker beacons.
#pragma once

#include "sim/world/circuit.h"
#include "sim/offset_memory.h"

namespace tavelor::sim {

struct Position {
  circuit::Point at;
  double altitude = 0;     // feet
  double heading = 0;      // degrees
  double groundSpeed = 0;  // knots
  double track = 0;        // degrees
};

// What one NAV receiver makes of the station it is tuned to.
struct NavReading {
  const circuit::Station* station = nullptr;  // nullptr: nothing received
  double radial = 0;     // from the station, degrees
  double miles = 0;      // from the station
  double course = 0;     // the course the needle shows deviation from: the OBS, or a localiser's
  double deviation = 0;  // degrees that course lies to the right of the aircraft (needle right)
  double lateral = 0;    // nautical miles that course lies to the right
  bool from = false;     // a VOR's FROM flag
  bool glideslope = false;     // a glideslope is received
  double aboveGlideslope = 0;  // degrees (needle down)
  double toThreshold = 0;      // nautical miles along the approach
};

NavReading ReadNav(uint16_t frequencyBcd, uint16_t obs, const Position& position);

// Writes both NAV receivers, their DMEs, the ADF and the marker lights.
void WriteReceivers(OffsetMemory& memory, const Position& position);

}  // namespace tavelor::sim
