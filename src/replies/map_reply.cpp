#include "replies/map_reply.h"

#include <vector>

#include "replies/altitude_rules.h"
#include "replies/angle_rules.h"
#include "replies/field_forms.h"
#include "replies/gps_rules.h"
#include "replies/identifier_rules.h"
#include "replies/panel_reply.h"
#include "replies/speed_rules.h"
#include "replies/traffic.h"
#include "simlink/offsets.h"
#include "simlink/units.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr int64_t kGpsWholeMilesMax = 999;  // three characters

// The distance to the next GPS waypoint in whole nautical miles, blanks in front in three
// characters, held to 999. Unlike the other panels' GPS distances it is blank-filled, its
// product is stored as a 64-bit real, and a negative distance is not held.
std::string GpsWholeMilesText(double metres) {
  const double nm = RealMul(metres, static_cast<double>(units::kNauticalMilesPerMetre));
  return PadLeft(DecText(AtMost(RoundReal(nm), kGpsWholeMilesMax)), 3, ' ');
}

}  // namespace

std::string MapReply(RequestState& state) {
  PanelReads in(state.link);
  const auto& latitude = in.Read(offsets::kLatitude);
  const auto& longitude = in.Read(offsets::kLongitude);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& windDirection = in.Read(offsets::kWindDirection);
  const auto& windSpeed = in.Read(offsets::kWindSpeed);
  const auto& gpsId = in.Read(offsets::kGpsNextId);
  const auto& gpsDistance = in.Read(offsets::kGpsDistance);
  const auto& gpsTimeToGo = in.Read(offsets::kGpsTimeToGo);
  const auto& altitude = in.Read(offsets::kAltitudeFeet);
  const auto& radioAltitude = in.Read(offsets::kRadioAltitude);
  const std::vector<TrafficSlotReads> slots = ReadTraffic(in);
  const auto& magneticVariation = in.Read(offsets::kMagneticVariation);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  const std::vector<TrafficTexts> traffic = TrafficSlotTexts(slots);
  PanelReply reply(state, ReplyCode::kMaps);
#define FIELD(number, name, label, unit, width, kind, rule, ...) reply.Field(number, rule);
#include "replies/tables/maps.inc"
#undef FIELD
  // The block lists variation, altitude, wind and radio altitude right after the heading (the
  // line has radio altitude and variation last), and the traffic at its end.
  reply.Log(1, 3).Log(86).Log(9).LogJoined({4, 5}, "/").Log(85).Log(6, 8);
  LogTraffic(reply);
  return reply.Finish();
}

}  // namespace tavelor
