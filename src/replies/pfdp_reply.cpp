#include "replies/pfdp_reply.h"

#include "replies/altitude_rules.h"
#include "replies/angle_rules.h"
#include "replies/autopilot_switches.h"
#include "replies/field_forms.h"
#include "replies/gauge_rules.h"
#include "replies/gps_rules.h"
#include "replies/identifier_rules.h"
#include "replies/panel_reply.h"
#include "replies/radio_rules.h"
#include "replies/speed_rules.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

std::string PfdpReply(RequestState& state) {
  PanelReads in(state.link);
  const auto& pitch = in.Read(offsets::kPitch);
  const auto& bank = in.Read(offsets::kBank);
  const auto& flightDirector = in.Read(offsets::kFlightDirector);
  const auto& flightDirector1 = in.Read(offsets::kFlightDirectorValue1);
  const auto& flightDirector2 = in.Read(offsets::kFlightDirectorValue2);
  const AutopilotSwitches switches(in);
  const auto& apAirspeedHold = in.Read(offsets::kApAirspeedHold);
  const auto& ias = in.Read(offsets::kIndicatedAirspeed);
  const auto& barberPole = in.Read(offsets::kBarberPoleSpeed);
  const auto& radioAltitude = in.Read(offsets::kRadioAltitude);
  const auto& ace = in.Read(offsets::kAce);
  const auto& apAirspeed = in.Read(offsets::kApAirspeed);
  const auto& tas = in.Read(offsets::kTrueAirspeed);
  const auto& altitude = in.Read(offsets::kAltitudeFeet);
  const auto& verticalSpeed = in.Read(offsets::kVerticalSpeed);
  const auto& apAltitude = in.Read(offsets::kApAltitude);
  const auto& apVerticalSpeed = in.Read(offsets::kApVerticalSpeed);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& adf = in.Read(offsets::kAdfBearing);
  const auto& vor2 = in.Read(offsets::kVor2);
  const auto& apHeading = in.Read(offsets::kApHeading);
  const auto& course = in.Read(offsets::kNav1Course);
  const auto& toFrom = in.Read(offsets::kNav1ToFrom);
  const auto& needle = in.Read(offsets::kNav1Needle);
  const auto& glideslope = in.Read(offsets::kNav1Glideslope);
  const auto& ils = in.Read(offsets::kNav1Ils);
  const auto& nav1Ident = in.Read(offsets::kNav1Ident);
  const auto& nav1Distance = in.Read(offsets::kDme1Distance);
  const auto& nav1Radial = in.Read(offsets::kNav1Radial);
  const auto& dme1Aux = in.Read(offsets::kDme1Aux);
  const auto& nav2Ident = in.Read(offsets::kNav2Ident);
  const auto& nav2Distance = in.Read(offsets::kDme2Distance);
  const auto& nav2Radial = in.Read(offsets::kNav2Radial);
  const auto& dme2Aux = in.Read(offsets::kDme2Aux);
  const auto& adfIdent = in.Read(offsets::kAdfIdent);
  const auto& adfSignal = in.Read(offsets::kAdfSignal);
  const auto& gpsIdent = in.Read(offsets::kGpsNextId);
  const auto& gpsDistance = in.Read(offsets::kGpsDistance);
  const auto& gpsCourse = in.Read(offsets::kGpsCourse);
  const auto& gpsCrossTrack = in.Read(offsets::kGpsCrossTrack);
  const auto& gpsTimeToGo = in.Read(offsets::kGpsTimeToGo);
  const auto& groundSpeed = in.Read(offsets::kGroundSpeed);
  const auto& windDirection = in.Read(offsets::kWindDirection);
  const auto& windSpeed = in.Read(offsets::kWindSpeed);
  const auto& oat = in.Read(offsets::kOutsideAirTemp);
  const auto& marker1 = in.Read(offsets::kMarker1);
  const auto& marker2 = in.Read(offsets::kMarker2);
  const auto& marker3 = in.Read(offsets::kMarker3);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  const std::string ap = switches.Digits() + SwitchDigits({apAirspeedHold});

  PanelReply reply(state, "PFDP", "- PDF Panel:---------------------");
#define FIELD(number, name, label, unit, width, kind, ...) reply.Field(number, __VA_ARGS__);
#include "replies/tables/pfdp.inc"
#undef FIELD
  // The block groups the flight director, each NAV receiver, the ADF, the GPS leg and the
  // wind on one line each.
  reply.Log(1, 2)
      .LogJoined({3, 4, 5}, " / ")
      .Log(6, 25)
      .LogJoined({26, 27, 28, 29}, "/")
      .LogJoined({30, 31, 32, 33}, "/")
      .LogJoined({34, 35}, "/")
      .LogJoined({36, 37, 38, 39, 40}, "/")
      .Log(41)
      .LogJoined({42, 43}, "/")
      .Log(44, 45);
  return reply.Finish();
}

}  // namespace tavelor
