#include "replies/xrad_reply.h"

#include <cstdint>

#include "replies/altitude_rules.h"
#include "replies/angle_rules.h"
#include "replies/autopilot_switches.h"
#include "replies/field_forms.h"
#include "replies/panel_reply.h"
#include "replies/radio_rules.h"
#include "replies/speed_rules.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

namespace {

// A COM frequency held as a whole number of hertz as "MHz.kHz": the first three digits, ".",
// the next three. 118250000 gives "118.250" (and a number of kilohertz, 118250, the same);
// digits beyond the kilohertz are dropped, not rounded; 0 gives "0.".
std::string ComFrequencyText(int32_t raw) {
  const std::string digits = DecText(raw);
  return digits.substr(0, 3) + "." + (digits.size() > 3 ? digits.substr(3, 3) : "");
}

// The gyro heading in hundredths of a degree, at least five characters: HeadingHundredthsText
// with only the low 32 bits of the rounded value kept, signed, so a heading beyond 2^31
// hundredths wraps here where the other panels show it in full.
std::string HeadingHundredthsText32(double degrees) {
  return PaddedDec(NearestWhole(degrees * 100.0L), 5);
}

}  // namespace

std::string XradReply(RequestState& state) {
  PanelReads in(state.link);
  const auto& audio = in.Read(offsets::kAudioSelector);
  const auto& com1a = in.Read(offsets::kCom1ActiveHz);
  const auto& com1b = in.Read(offsets::kCom1StandbyHz);
  const auto& com2a = in.Read(offsets::kCom2ActiveHz);
  const auto& com2b = in.Read(offsets::kCom2StandbyHz);
  const auto& nav1a = in.Read(offsets::kNav1Active);
  const auto& nav1b = in.Read(offsets::kNav1Standby);
  const auto& dme1 = in.Read(offsets::kDme1Distance);
  const auto& nav2a = in.Read(offsets::kNav2Active);
  const auto& nav2b = in.Read(offsets::kNav2Standby);
  const auto& dme2 = in.Read(offsets::kDme2Distance);
  const auto& adf = in.Read(offsets::kAdfFrequency);
  const auto& transponder = in.Read(offsets::kTransponder);
  const AutopilotSwitches switches(in);
  const auto& apAltitude = in.Read(offsets::kApAltitude);
  const auto& apVerticalSpeed = in.Read(offsets::kApVerticalSpeed);
  const auto& latitude = in.Read(offsets::kLatitude);
  const auto& longitude = in.Read(offsets::kLongitude);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& avionics = in.Read(offsets::kAvionics);
  const auto& battery = in.Read(offsets::kBattery);
  const auto& magneticVariation = in.Read(offsets::kMagneticVariation);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  const std::string ap = switches.Digits();

  PanelReply reply(state, ReplyCode::kXrad);
#define FIELD(number, name, label, unit, width, kind, rule, ...) reply.Field(number, rule);
#include "replies/tables/xrad.inc"
#undef FIELD
  reply.Log(1, 19).Log(21).Log(20);  // the variation is logged before the switches' sum
  return reply.Finish();
}

}  // namespace tavelor
