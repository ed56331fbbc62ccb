#include "replies/fgp_reply.h"

#include <cstdint>
#include <initializer_list>

#include "core/globals.h"
#include "replies/hsi_rules.h"
#include "replies/map_rules.h"
#include "replies/panel_reply.h"
#include "replies/pfd_rules.h"
#include "replies/single_engine_rules.h"
#include "replies/speed_resend.h"
#include "simlink/offsets.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

// The mode switches as signed decimals run together. Not ApSwitchesText: this panel takes each
// 32-bit switch value as signed, so a stray all-ones value shows "-1" here.
std::string ModeSwitchesText(std::initializer_list<int32_t> switches) {
  std::string text;
  for (int32_t on : switches) text += DecText(on);
  return text;
}

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
  return PaddedDec(RoundExtended(millibars16 / 16.0L * 100), 6);
}

}  // namespace

std::string FgpReply() {
  PanelReads in;
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

  // The re-send hands these two texts to the speed commands after the line is built.
  const std::string apIasText = ApAirspeedText(apAirspeed);
  const std::string apMachText = ApMachText(apMach);

  auto sw = [](uint32_t v) { return static_cast<int32_t>(v); };  // a switch, taken signed
  const std::string modes =
      ModeSwitchesText({sw(apMaster), flightDirector, sw(apNavHold), sw(apLocaliserHold),
                        sw(apGlideslopeHold), sw(apHeadingHold), sw(apAltitudeHold),
                        sw(apAirspeedHold), sw(yawDamper), sw(wingLeveller), sw(navGps)});

  PanelReply reply("- Fgp Panel:----------------------");
  reply.Field("Ap", modes)
      .Field("Hdg", WholeDegreesText(apHeading))
      .Field("Crs", ThreeDigitText(course))
      .Field("Ap Alt", ApAltitudeText(apAltitude))
      .Field("Ap Vsp", ApVerticalSpeedText(apVerticalSpeed))
      .Field("Ap Ias", apIasText)
      .Field("Derr", NearestDegreeText(heading))
      .Field("Dir To", BearingToStationText(nav1Radial))
      .Field("Alt To", AltitudeHundredsText(altitude))
      .Field("Ap Mach", apMachText)
      .Field("Qnh", QnhHundredthsText(qnh));
  const std::string line = reply.Finish();

  SpeedResendStep(FgpRefreshCount, delivered, apMachText, apIasText);
  return line;
}

}  // namespace tavelor
