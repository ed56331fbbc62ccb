#include "replies/fgp_reply.h"

#include <cstdint>

#include "replies/altitude_rules.h"
#include "replies/angle_rules.h"
#include "replies/field_forms.h"
#include "replies/panel_reply.h"
#include "replies/speed_resend.h"
#include "replies/speed_rules.h"
#include "simlink/offsets.h"
#include "simlink/units.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

// The bearing to the NAV1 station: the reciprocal of the radial the aircraft is on, in whole
// degrees. A radial just below a full turn rounds to 360 and so points at "180".
std::string BearingToStationText(uint16_t radial) {
  int64_t degrees = WholeDegrees(radial);
  degrees += degrees >= 180 ? -180 : 180;
  return PaddedDec(degrees, 3);
}

// The altimeter to the nearest hundred feet (a half hundred to the even hundred: 2450 gives
// 2400), five characters.
std::string AltitudeHundredsText(uint16_t feet) {
  return PaddedDec(RoundExtended(feet / 100.0L) * 100, 5);
}

// The altimeter setting (millibars x 16) in hundredths of a millibar, six characters. Not the
// PFD's QnhText, which shows whole millibars in four.
std::string QnhHundredthsText(uint16_t millibars16) {
  return PaddedDec(RoundExtended(millibars16 / units::kHpa16 * 100), 6);
}

}  // namespace

std::string FgpReply(RequestState& state) {
  PanelReads in(state.link);
  const auto& apMaster = in.Read(offsets::kApMaster);
  const auto& flightDirector = in.Read(offsets::kFlightDirector);
  const auto& apNavHold = in.Read(offsets::kApNavHold);
  const auto& apLocaliserHold = in.Read(offsets::kApLocaliserHold);
  const auto& apGlideslopeHold = in.Read(offsets::kApGlideslopeHold);
  const auto& apHeadingHold = in.Read(offsets::kApHeadingHold);
  const auto& apAltitudeHold = in.Read(offsets::kApAltitudeHold);
  const auto& apAirspeedHold = in.Read(offsets::kApAirspeedHold);
  const auto& yawDamper = in.Read(offsets::kApYawDamper);
  const auto& wingLeveller = in.Read(offsets::kApWingLeveller);
  const auto& navGps = in.Read(offsets::kNavGpsSelector);
  const auto& apHeading = in.Read(offsets::kApHeading);
  const auto& course = in.Read(offsets::kNav1Course);
  const auto& apAltitude = in.Read(offsets::kApAltitude);
  const auto& apVerticalSpeed = in.Read(offsets::kApVerticalSpeed);
  const auto& apAirspeed = in.Read(offsets::kApAirspeed);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& nav1Radial = in.Read(offsets::kNav1Radial);
  const auto& altitude = in.Read(offsets::kAltitudeFeet);
  const auto& apMach = in.Read(offsets::kApMach);
  const auto& qnh = in.Read(offsets::kAltimeterSetting);
  // A failed exchange leaves every value at zero: the reply says so, but no speed target is
  // re-sent from it.
  const bool delivered = in.Process();

  // Unlike the other panels, this one takes each 32-bit switch as signed: a stray all-ones
  // value shows "-1".
  auto sw = [](uint32_t v) -> int64_t { return static_cast<int32_t>(v); };
  const std::string modes =
      SwitchDigits({sw(apMaster), flightDirector, sw(apNavHold), sw(apLocaliserHold),
                    sw(apGlideslopeHold), sw(apHeadingHold), sw(apAltitudeHold), sw(apAirspeedHold),
                    sw(yawDamper), sw(wingLeveller), sw(navGps)});

  PanelReply reply(state, ReplyCode::kFgp);
#define FIELD(number, name, label, unit, width, kind, rule, ...) reply.Field(number, rule);
#include "replies/tables/fgp.inc"
#undef FIELD
  reply.Log(1, 11);
  const std::string line = reply.Finish();

  SpeedResendStep(state, state.FgpRefreshCount, delivered, reply.Text(10), reply.Text(6));
  return line;
}

}  // namespace tavelor
