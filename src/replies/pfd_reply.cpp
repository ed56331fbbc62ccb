#include "replies/pfd_reply.h"

#include "core/globals.h"
#include "replies/hsi_rules.h"
#include "replies/panel_reply.h"
#include "replies/pfd_rules.h"
#include "replies/speed_resend.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

std::string PfdReply() {
  PanelReads in;
  const auto& ias = in.Read(offsets::kIndicatedAirspeed);
  const auto& ace = in.Read(offsets::kAce);
  const auto& verticalSpeed = in.Read(offsets::kVerticalSpeed);
  const auto& altitude = in.Read(offsets::kAltitudeFeet);
  const auto& pitch = in.Read(offsets::kPitch);
  const auto& bank = in.Read(offsets::kBank);
  const auto& radioAltitude = in.Read(offsets::kRadioAltitude);
  const auto& apMaster = in.Read(offsets::kApMaster);
  const auto& apHeadingHold = in.Read(offsets::kApHeadingHold);
  const auto& apNavHold = in.Read(offsets::kApNavHold);
  const auto& apAltitudeHold = in.Read(offsets::kApAltitudeHold);
  const auto& apLocaliserHold = in.Read(offsets::kApLocaliserHold);
  const auto& apGlideslopeHold = in.Read(offsets::kApGlideslopeHold);
  const auto& navGps = in.Read(offsets::kNavGpsSelector);
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

  // Texts that the debug block groups or places apart from the line.
  const std::string ap = ApSwitchesText({apMaster, apHeadingHold, apNavHold, apAltitudeHold,
                                         apLocaliserHold, apGlideslopeHold, navGps});
  const std::string ap8 = DecText(apAirspeedHold);
  const std::string windDirectionText = WholeDegreesText(windDirection);
  const std::string windSpeedText = WindSpeedText(windSpeed);
  const std::string nav1[] = {IdentText(nav1Ident, DashSide::kAfter), DmeTenthsText(nav1Distance),
                              WholeDegreesText(nav1Radial), TenthsAsWholeText(dme1Aux)};
  const std::string nav2[] = {IdentText(nav2Ident, DashSide::kBefore), DmeTenthsText(nav2Distance),
                              WholeDegreesText(nav2Radial), TenthsAsWholeText(dme2Aux)};
  const std::string apVsp = ApVerticalSpeedLongText(apVerticalSpeed);
  const std::string apMachText = ApMachText(apMach);
  const std::string fd[] = {DecText(flightDirector), FlightDirectorValueText(flightDirector1),
                            FlightDirectorValueText(flightDirector2)};
  const std::string apIasText = ApAirspeedText(apAirspeed);
  const std::string adfSignalFlag = AdfSignalFlagText(adfSignal);

  PanelReply reply("- Pfd Panel:----------------------");
  reply.Field("Ias", AirspeedHundredthsText(ias))
      .Field("Ace", AceText(ace))
      .Field("Vsp", VerticalSpeedText(verticalSpeed))
      .Field("sAlt", AltitudeText(altitude))
      .Field("Pich", PitchText(pitch))
      .Field("Bank", BankText(bank))
      .Field("Ground", RadioAltitudeText(radioAltitude))
      .Field(ap).Log("Ap", ap + ap8)  // the 8th switch has a field of its own further on
      .Field("Ap Alt", ApAltitudeText(apAltitude))
      .Log("Ap Ias", apIasText)
      .Log("Ap Mach", apMachText)
      .Field("sMatch", MachText(mach))
      .Field("GS", GroundSpeedText(groundSpeed))
      .Field("Qnh", QnhText(qnh))
      .Field("Rum", DegreesHundredthsText(heading))
      .Field("Adf", AngleHundredthsText(adf))
      .Field("Vor2", ThreeDigitText(vor2))
      .Field("Hdg", WholeDegreesText(apHeading))
      .Field("Crs", ThreeDigitText(course))
      .Field("Tof", DecText(toFrom))
      .Field("GsVor", ThreeDigitText(needle))
      .Field("GsIls", ThreeDigitText(glideslope))
      .Field("Ils", DecText(ils))
      .Field(windDirectionText).Field(windSpeedText)
      .Log("Vientos", windDirectionText + "/" + windSpeedText)
      .Field(nav1[0]).Field(nav1[1]).Field(nav1[2]).Field(nav1[3])
      .Log("Nav1", nav1[0] + "/" + nav1[1] + "/" + nav1[2] + "/" + nav1[3])
      .Field(nav2[0]).Field(nav2[1]).Field(nav2[2]).Field(nav2[3])
      .Log("Nav2", nav2[0] + "/" + nav2[1] + "/" + nav2[2] + "/" + nav2[3])
      .Field(apVsp).Log("ApVsp", apVsp + "/" + adfSignalFlag)
      .Field("AdfId", IdentText(adfIdent, DashSide::kAfter))
      .Field("Tas", TrueAirspeedText(tas))
      .Field("Oat", OutsideAirTempText(oat))
      .Field(ap8)
      .Field(apMachText)
      .Field(fd[0]).Field(fd[1]).Field(fd[2])
      .Log("FDir", fd[0] + " / " + fd[1] + " / " + fd[2])
      .Field("Barb.P.", BarberPoleText(barberPole))
      .Field(apIasText)
      .Field(adfSignalFlag)
      .Field(DecText(SpeedRefMode))  // not logged
      .Field("Gps Id", IdentText(gpsIdent, DashSide::kAfter))
      .Field("Gps Dme", GpsDistanceTenthsText(gpsDistance))
      .Field("Gps Crs", GpsCourseText(gpsCourse))
      .Field("Gps Gsv", GpsCrossTrackText(gpsCrossTrack))
      .Field("Gps Ete", GpsTimeToGoText(gpsTimeToGo));
  const std::string line = reply.Finish();

  SpeedResendStep(PfdRefreshCount, delivered, apMachText, apIasText);
  return line;
}

}  // namespace tavelor
