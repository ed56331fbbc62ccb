// Needles and flags in the simulator's encodings: the deviation needles are signed bytes, the
// course needle -127 (course to the left) to 127 (course to the right) across 10 degrees of a
// VOR or 2.5 degrees of a localiser, the glideslope needle -119 (needle up: the aircraft is below
// the slope) to 119 (needle down) across 0.7 degrees; radials and the ADF's bearing are 65536
// to the turn; DMEs count tenths of a mile and their time to the station tenths of a second.
#include "sim/world/receivers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sim/world/encodings.h"
#include "simlink/offsets.h"

namespace tavelor::sim {

namespace {

namespace o = offsets;
using circuit::StationKind;

constexpr double kRunwayMiles = 1;
constexpr double kVorRange = 60, kLocaliserRange = 18, kGlideslopeRange = 10, kNdbRange = 12;

int8_t Needle(double degrees, double fullScale, int units) {
  return static_cast<int8_t>(std::lround(std::clamp(degrees / fullScale, -1.0, 1.0) * units));
}

o::Ident IdentOf(const circuit::Station* station) {
  o::Ident ident{};
  if (station) std::memcpy(ident.data(), station->ident, std::min(std::strlen(station->ident), ident.size()));
  return ident;
}

// Tenths of a second to the station at the speed the aircraft closes on it; 0 when it does not.
uint16_t TimeToStation(const Position& p, const circuit::Station& s, double miles) {
  const double closing = p.groundSpeed * std::cos(Radians(circuit::BearingTo(p.at, s.at) - p.track));
  if (closing < 10) return 0;
  return static_cast<uint16_t>(std::min(65535.0, std::round(miles / closing * 36000)));
}

struct NavOffsets {
  Offset<o::Ident> ident;
  Offset<uint16_t> dme, timeToStation, radial;
  Offset<uint8_t> needle, toFrom;
};

void WriteNav(OffsetMemory& m, const NavOffsets& n, const Position& p, const NavReading& r) {
  const circuit::Station* s = r.station;
  m.Put(n.ident, IdentOf(s));
  const double slant = std::hypot(r.miles, p.altitude / kFeetPerNauticalMile);
  const bool dme = s && s->dme;
  m.Put(n.dme, static_cast<uint16_t>(dme ? std::lround(slant * 10) : 0));
  m.Put(n.timeToStation, dme ? TimeToStation(p, *s, slant) : uint16_t{0});
  m.Put(n.radial, s ? Angle16(r.radial) : uint16_t{0});
  const double fullScale = s && s->kind == StationKind::kIls ? 2.5 : 10;
  m.Put(n.needle, static_cast<uint8_t>(s ? Needle(r.deviation, fullScale, 127) : 0));
  // 0 nothing, 1 TO, 2 FROM; a localiser shows TO.
  m.Put(n.toFrom, static_cast<uint8_t>(!s ? 0 : r.from ? 2 : 1));
}

void WriteAdf(OffsetMemory& m, const Position& p) {
  const circuit::Station* s = circuit::AdfStation(AdfTenths(m.Get(o::kAdfFrequency), m.Get(o::kAdfExtended)));
  if (s && circuit::Distance(p.at, s->at) > kNdbRange) s = nullptr;
  m.Put(o::kAdfIdent, IdentOf(s));
  m.Put(o::kAdfSignal, s ? 100 : 0);
  m.Put(o::kAdfBearing, s ? Angle16(circuit::BearingTo(p.at, s->at) - p.heading) : uint16_t{0});
}

void WriteMarkers(OffsetMemory& m, const Position& p) {
  const circuit::Point threshold = circuit::Threshold();
  const double miles = circuit::Distance(threshold, p.at);
  const double off = circuit::Wrap180(circuit::BearingTo(threshold, p.at) - (circuit::kFinalCourse + 180));
  const double along = miles * std::cos(Radians(off)), across = miles * std::sin(Radians(off));
  // Each beacon's cone widens with height: a few seconds over the inner one, twenty over the outer.
  const double height = std::max(0.0, p.altitude - circuit::kDestinationElevation);
  for (const circuit::Marker& marker : circuit::Markers()) {
    const bool over = std::fabs(along - marker.milesOut) < 0.1 + height / kFeetPerNauticalMile * 0.8 &&
                      std::fabs(across) < 1;
    m.Put(marker.light, uint16_t{over});
  }
}

}  // namespace

NavReading ReadNav(uint16_t frequencyBcd, uint16_t obs, const Position& p) {
  NavReading r;
  const circuit::Station* s = circuit::NavStation(frequencyBcd);
  if (!s) return r;
  r.miles = circuit::Distance(s->at, p.at);
  if (s->kind == StationKind::kIls) {
    // The localiser stands beyond the runway's far end and serves the approach side only; the
    // glideslope and the DME count from the threshold.
    const circuit::Point antenna = circuit::Moved(s->at, circuit::kFinalCourse, kRunwayMiles);
    r.radial = circuit::BearingTo(antenna, p.at);
    const double off = circuit::Wrap180(r.radial - (circuit::kFinalCourse + 180));
    const double fromAntenna = circuit::Distance(antenna, p.at);
    if (fromAntenna > kLocaliserRange || std::fabs(off) > 35) return r;
    r.station = s;
    r.course = circuit::kFinalCourse;
    r.deviation = off;
    r.lateral = fromAntenna * std::sin(Radians(off));
    r.toThreshold = fromAntenna * std::cos(Radians(off)) - kRunwayMiles;
    const double toAim = r.toThreshold + circuit::kGlideslopeAim;
    if (toAim > 0 && toAim < kGlideslopeRange && std::fabs(off) < 10) {
      const double height = p.altitude - circuit::kDestinationElevation;
      r.glideslope = true;
      r.aboveGlideslope = Degrees(std::atan2(height, toAim * kFeetPerNauticalMile)) - circuit::kGlideslopeDegrees;
    }
    return r;
  }
  if (r.miles > kVorRange) return r;
  r.station = s;
  r.radial = circuit::BearingTo(s->at, p.at);
  r.course = obs;
  r.from = std::fabs(circuit::Wrap180(r.radial - obs)) < 90;
  r.deviation = r.from ? -circuit::Wrap180(r.radial - obs) : circuit::Wrap180(r.radial - obs - 180);
  r.lateral = r.miles * std::sin(Radians(r.deviation));
  return r;
}

void WriteReceivers(OffsetMemory& m, const Position& p) {
  const NavReading nav1 = ReadNav(m.Get(o::kNav1Active), m.Get(o::kNav1Course), p);
  WriteNav(m, {o::kNav1Ident, o::kDme1Distance, o::kDme1Aux,
               o::kNav1Radial, o::kNav1Needle, o::kNav1ToFrom}, p, nav1);
  const bool ils = nav1.station && nav1.station->kind == StationKind::kIls;
  m.Put(o::kNav1Ils, uint8_t{ils});
  m.Put(o::kNav1Glideslope, static_cast<uint8_t>(nav1.glideslope ? Needle(nav1.aboveGlideslope, 0.7, 119) : 0));

  const NavReading nav2 = ReadNav(m.Get(o::kNav2Active), m.Get(o::kNav2Obs), p);
  WriteNav(m, {o::kNav2Ident, o::kDme2Distance, o::kDme2Aux,
               o::kNav2Radial, o::kNav2Localiser, o::kNav2ToFrom}, p, nav2);
  // The second VOR's pointer: where its station lies off the nose, in whole degrees.
  m.Put(o::kVor2, nav2.station ? static_cast<uint16_t>(std::lround(circuit::Wrap360(
                                     circuit::BearingTo(p.at, nav2.station->at) - p.heading)) % 360)
                               : uint16_t{0});
  WriteAdf(m, p);
  WriteMarkers(m, p);
}

}  // namespace tavelor::sim
