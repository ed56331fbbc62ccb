#include "replies/pfd_reply.h"

#include "replies/altitude_rules.h"
#include "replies/angle_rules.h"
#include "replies/autopilot_switches.h"
#include "replies/field_forms.h"
#include "replies/gauge_rules.h"
#include "replies/gps_rules.h"
#include "replies/identifier_rules.h"
#include "replies/panel_reply.h"
#include "replies/radio_rules.h"
#include "replies/speed_resend.h"
#include "replies/speed_rules.h"
#include "simlink/offsets.h"
#include "simlink/units.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

// The Mach number (Mach x 20480) in hundredths, three characters. Only this panel shows it.
std::string MachText(uint16_t mach20480) {
  return PaddedDec(RoundExtended(mach20480 / units::kMach20480 * 100), 3);
}

}  // namespace

std::string PfdReply(RequestState& state) {
  PanelReads in(state.link);
  const auto& ias = in.Read(offsets::kIndicatedAirspeed);
  const auto& ace = in.Read(offsets::kAce);
  const auto& verticalSpeed = in.Read(offsets::kVerticalSpeed);
  const auto& altitude = in.Read(offsets::kAltitudeFeet);
  const auto& pitch = in.Read(offsets::kPitch);
  const auto& bank = in.Read(offsets::kBank);
  const auto& radioAltitude = in.Read(offsets::kRadioAltitude);
  const AutopilotSwitches switches(in);
  const auto& apAirspeedHold = in.Read(offsets::kApAirspeedHold);
  const auto& apAltitude = in.Read(offsets::kApAltitude);
  const auto& mach = in.Read(offsets::kMach);
  const auto& groundSpeed = in.Read(offsets::kGroundSpeed);
  const auto& qnh = in.Read(offsets::kAltimeterSetting);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& adf = in.Read(offsets::kAdfBearing);
  const auto& vor2 = in.Read(offsets::kVor2);
  const auto& apHeading = in.Read(offsets::kApHeading);
  const auto& course = in.Read(offsets::kNav1Course);
  const auto& toFrom = in.Read(offsets::kNav1ToFrom);
  const auto& needle = in.Read(offsets::kNav1Needle);
  const auto& glideslope = in.Read(offsets::kNav1Glideslope);
  const auto& ils = in.Read(offsets::kNav1Ils);
  const auto& windDirection = in.Read(offsets::kWindDirection);
  const auto& windSpeed = in.Read(offsets::kWindSpeed);
  const auto& nav1Ident = in.Read(offsets::kNav1Ident);
  const auto& nav1Distance = in.Read(offsets::kDme1Distance);
  const auto& nav1Radial = in.Read(offsets::kNav1Radial);
  const auto& dme1Aux = in.Read(offsets::kDme1Aux);
  const auto& nav2Ident = in.Read(offsets::kNav2Ident);
  const auto& nav2Distance = in.Read(offsets::kDme2Distance);
  const auto& nav2Radial = in.Read(offsets::kNav2Radial);
  const auto& dme2Aux = in.Read(offsets::kDme2Aux);
  const auto& apVerticalSpeed = in.Read(offsets::kApVerticalSpeed);
  const auto& adfIdent = in.Read(offsets::kAdfIdent);
  const auto& tas = in.Read(offsets::kTrueAirspeed);
  const auto& oat = in.Read(offsets::kOutsideAirTemp);
  const auto& apMach = in.Read(offsets::kApMach);
  const auto& flightDirector = in.Read(offsets::kFlightDirector);
  const auto& flightDirector1 = in.Read(offsets::kFlightDirectorValue1);
  const auto& flightDirector2 = in.Read(offsets::kFlightDirectorValue2);
  const auto& barberPole = in.Read(offsets::kBarberPoleSpeed);
  const auto& apAirspeed = in.Read(offsets::kApAirspeed);
  const auto& adfSignal = in.Read(offsets::kAdfSignal);
  const auto& gpsIdent = in.Read(offsets::kGpsNextId);
  const auto& gpsDistance = in.Read(offsets::kGpsDistance);
  const auto& gpsCourse = in.Read(offsets::kGpsCourse);
  const auto& gpsCrossTrack = in.Read(offsets::kGpsCrossTrack);
  const auto& gpsTimeToGo = in.Read(offsets::kGpsTimeToGo);
  // A failed exchange leaves every value at zero: the reply says so, but no speed target is
  // re-sent from it.
  const bool delivered = in.Process();

  const std::string ap = switches.Digits();

  PanelReply reply(state, "PFD", "- Pfd Panel:----------------------");
#define FIELD(number, name, label, unit, width, kind, ...) reply.Field(number, __VA_ARGS__);
#include "replies/tables/pfd.inc"
#undef FIELD
  // The block shows the 8th switch with the other seven, the autopilot airspeed and Mach
  // targets right after its altitude, the wind and each NAV receiver on one line, the ADF
  // signal with the vertical speed target; the speed mode not at all.
  reply.Log(1, 7)
      .LogJoined({8, 36}, "")
      .Log(9).Log(42).Log(37)
      .Log(10, 21)
      .LogJoined({22, 23}, "/")
      .LogJoined({24, 25, 26, 27}, "/")
      .LogJoined({28, 29, 30, 31}, "/")
      .LogJoined({32, 43}, "/")
      .Log(33, 35)
      .LogJoined({38, 39, 40}, " / ")
      .Log(41)
      .Log(45, 49);
  const std::string line = reply.Finish();

  SpeedResendStep(state, state.PfdRefreshCount, delivered, reply.Text(37), reply.Text(42));
  return line;
}

}  // namespace tavelor
