#include "replies/pmap_reply.h"

#include <cstdint>
#include <vector>

#include "replies/altitude_rules.h"
#include "replies/angle_rules.h"
#include "replies/field_forms.h"
#include "replies/gauge_rules.h"
#include "replies/gps_rules.h"
#include "replies/identifier_rules.h"
#include "replies/panel_reply.h"
#include "replies/radio_rules.h"
#include "replies/speed_rules.h"
#include "replies/traffic.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

std::string ExtendedMapReply(RequestState& state) {
  PanelReads in(state.link);
  const auto& latitude = in.Read(offsets::kLatitude);
  const auto& longitude = in.Read(offsets::kLongitude);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& windDirection = in.Read(offsets::kWindDirection);
  const auto& windSpeed = in.Read(offsets::kWindSpeed);
  const auto& radioAltitude = in.Read(offsets::kRadioAltitude);
  const auto& altitude = in.Read(offsets::kAltitudeFeet);
  const std::vector<TrafficSlotReads> slots = ReadTraffic(in);
  const auto& outsideAirTemp = in.Read(offsets::kOutsideAirTemp);
  const auto& groundSpeed = in.Read(offsets::kGroundSpeed);
  const auto& adfBearing = in.Read(offsets::kAdfBearing);
  const auto& adfSignal = in.Read(offsets::kAdfSignal);
  const auto& vor2 = in.Read(offsets::kVor2);
  const auto& vor2Dme = in.Read(offsets::kDme2Distance);
  const auto& nav1Course = in.Read(offsets::kNav1Course);
  const auto& nav1ToFrom = in.Read(offsets::kNav1ToFrom);
  const auto& nav1Needle = in.Read(offsets::kNav1Needle);
  const auto& navGpsSelector = in.Read(offsets::kNavGpsSelector);
  const auto& gpsCourse = in.Read(offsets::kGpsCourse);
  const auto& gpsCrossTrack = in.Read(offsets::kGpsCrossTrack);
  const auto& nav1Glideslope = in.Read(offsets::kNav1Glideslope);
  const auto& nav1Ils = in.Read(offsets::kNav1Ils);
  const auto& nav1Ident = in.Read(offsets::kNav1Ident);
  const auto& nav1Distance = in.Read(offsets::kDme1Distance);
  const auto& nav2Ident = in.Read(offsets::kNav2Ident);
  const auto& nav2Distance = in.Read(offsets::kDme2Distance);  // the same DME 2 value again
  const auto& gpsIdent = in.Read(offsets::kGpsNextId);
  const auto& gpsDistance = in.Read(offsets::kGpsDistance);
  const auto& magneticVariation = in.Read(offsets::kMagneticVariation);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  const std::vector<TrafficTexts> traffic = TrafficSlotTexts(slots);
  PanelReply reply(state, ReplyCode::kPmap);
#define FIELD(number, name, label, unit, width, kind, rule, ...) reply.Field(number, rule);
#include "replies/tables/pmap.inc"
#undef FIELD
  // The block follows the map reply's, then the instruments, then the traffic; two-value
  // lines join with "/", the identifier lines with ":".
  reply.Log(1, 3).Log(105).Log(9).LogJoined({4, 5}, "/").Log(6)
      .Log(85, 86)
      .LogJoined({87, 88}, "/")
      .LogJoined({89, 90}, "/")
      .Log(91, 93)
      .LogJoined({94, 95, 96}, "/")
      .Log(97, 98)
      .LogJoined({99, 100}, ":")
      .LogJoined({101, 102}, ":")
      .LogJoined({103, 104}, ":");
  LogTraffic(reply);
  return reply.Finish();
}

}  // namespace tavelor
