// The world the stand-in aircraft flies in and the pilot's script for its circuit: two fields,
// the radio stations around them, the GPS route, and what the pilot sets when.
//
// Positions are nautical miles east and north of the apron, on a flat earth: a circuit is
// twenty-odd miles long, and nothing a panel shows could tell the difference. Bearings and
// headings are degrees from north, clockwise.
#pragma once

#include <cstdint>
#include <span>

#include "sim/offset_memory.h"

namespace tavelor::sim::circuit {

struct Point {
  double east = 0, north = 0;  // nautical miles from the apron
};

double Distance(Point from, Point to);
double BearingTo(Point from, Point to);  // 0 to 360
double Wrap180(double degrees);          // -180 to 180
double Wrap360(double degrees);          // 0 to 360
Point Moved(Point from, double bearing, double miles);

inline constexpr double kDepartureElevation = 1998;  // feet, where the aircraft is parked
inline constexpr double kDestinationElevation = 1900;
inline constexpr double kRunwayHeading = 270;        // the departure runway
inline constexpr double kFinalCourse = 210;          // the destination's ILS, inbound
inline constexpr double kGlideslopeDegrees = 3;
inline constexpr double kGlideslopeAim = 0.16;  // nautical miles past the threshold: 50 ft over it

enum class StationKind { kVor, kIls, kNdb };

struct Station {
  const char* ident;
  StationKind kind;
  uint32_t frequency;  // VOR and ILS: the BCD word the NAV radios hold; NDB: tenths of a kHz
  Point at;            // an ILS's at its threshold, where its DME is too
  bool dme;
};

// The stations in range of the circuit.
std::span<const Station> Stations();
const Station* NavStation(uint16_t bcd);      // nullptr when nothing transmits there
const Station* AdfStation(uint32_t tenthsKhz);

// The destination's threshold, its ILS and the marker beacons on the final approach.
Point Threshold();
struct Marker {
  double milesOut;         // from the threshold along the final approach
  Offset<uint16_t> light;  // the light it switches on
};
std::span<const Marker> Markers();  // outer, middle, inner

// The GPS route: the legs' ends, in order.
struct Waypoint {
  const char* ident;
  Point at;
};
std::span<const Waypoint> Route();

// What the pilot does: every switch, radio and autopilot setting is written to the offsets
// (so a panel's command changes them as it would in the cockpit, until the pilot's next
// action), the rest goes to the flight through `Pilot`.
struct Pilot {
  double rpm = 0;           // the power set
  bool taxiing = false;     // rolling at taxi speed
  bool takeOff = false;     // full power down the runway, airborne at the rotation speed
  bool directTo = false;    // the GPS goes direct to the active waypoint from where it is
  bool alignGyro = false;   // the heading indicator set to the compass
};
struct Event {
  double at;  // seconds into the circuit
  void (*act)(OffsetMemory& memory, Pilot& pilot);
};
std::span<const Event> Script();

}  // namespace tavelor::sim::circuit
