#include "replies/hsi_reply.h"

#include "replies/altitude_rules.h"
#include "replies/angle_rules.h"
#include "replies/autopilot_switches.h"
#include "replies/field_forms.h"
#include "replies/gps_rules.h"
#include "replies/identifier_rules.h"
#include "replies/panel_reply.h"
#include "replies/radio_rules.h"
#include "replies/speed_rules.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

std::string HsiReply(RequestState& state) {
  PanelReads in(state.link);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& adf = in.Read(offsets::kAdfBearing);
  const auto& vor2 = in.Read(offsets::kVor2);
  const auto& dme1 = in.Read(offsets::kDme1Distance);
  const auto& dme2 = in.Read(offsets::kDme2Distance);
  const auto& apHeading = in.Read(offsets::kApHeading);
  const auto& course = in.Read(offsets::kNav1Course);
  const auto& needle = in.Read(offsets::kNav1Needle);
  const auto& glideslope = in.Read(offsets::kNav1Glideslope);
  const auto& toFrom = in.Read(offsets::kNav1ToFrom);
  const auto& ils = in.Read(offsets::kNav1Ils);
  const AutopilotSwitches switches(in);
  const auto& apAltitude = in.Read(offsets::kApAltitude);
  const auto& apVerticalSpeed = in.Read(offsets::kApVerticalSpeed);
  const auto& marker1 = in.Read(offsets::kMarker1);
  const auto& marker2 = in.Read(offsets::kMarker2);
  const auto& marker3 = in.Read(offsets::kMarker3);
  const auto& windDirection = in.Read(offsets::kWindDirection);
  const auto& windSpeed = in.Read(offsets::kWindSpeed);
  const auto& nav1Ident = in.Read(offsets::kNav1Ident);
  const auto& nav2Ident = in.Read(offsets::kNav2Ident);
  const auto& gpsIdent = in.Read(offsets::kGpsNextId);
  const auto& gpsDistance = in.Read(offsets::kGpsDistance);
  const auto& gpsCourse = in.Read(offsets::kGpsCourse);
  const auto& gpsCrossTrack = in.Read(offsets::kGpsCrossTrack);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  const std::string ap = switches.Digits();

  PanelReply reply(state, "HSI", "- Hsi Panel:----------------------");
#define FIELD(number, name, label, unit, width, kind, ...) reply.Field(number, __VA_ARGS__);
#include "replies/tables/hsi.inc"
#undef FIELD
  // The wind goes on the line as two fields and into the debug block as one line.
  reply.Log(1, 15).LogJoined({16, 17}, "/").Log(18, 23);
  return reply.Finish();
}

}  // namespace tavelor
