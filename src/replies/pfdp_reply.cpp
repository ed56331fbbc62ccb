#include "replies/pfdp_reply.h"

#include "replies/hsi_rules.h"
#include "replies/panel_reply.h"
#include "replies/pfd_rules.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

std::string PfdpReply() {
  PanelReads in;
  const auto& pitch = in.Read(offsets::kPitch);
  const auto& bank = in.Read(offsets::kBank);
  const auto& flightDirector = in.Read(offsets::kFlightDirector);
  const auto& flightDirector1 = in.Read(offsets::kFlightDirectorValue1);
  const auto& flightDirector2 = in.Read(offsets::kFlightDirectorValue2);
  const auto& apMaster = in.Read(offsets::kApMaster);
  const auto& apHeadingHold = in.Read(offsets::kApHeadingHold);
  const auto& apNavHold = in.Read(offsets::kApNavHold);
  const auto& apAltitudeHold = in.Read(offsets::kApAltitudeHold);
  const auto& apLocaliserHold = in.Read(offsets::kApLocaliserHold);
  const auto& apGlideslopeHold = in.Read(offsets::kApGlideslopeHold);
  const auto& navGps = in.Read(offsets::kNavGpsSelector);
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

  // Texts that the debug block groups on one line.
  const std::string fd[] = {DecText(flightDirector), FlightDirectorValueText(flightDirector1),
                            FlightDirectorValueText(flightDirector2)};
  const std::string nav1[] = {IdentText(nav1Ident, DashSide::kAfter), DmeTenthsText(nav1Distance),
                              WholeDegreesText(nav1Radial), TenthsAsWholeText(dme1Aux)};
  const std::string nav2[] = {IdentText(nav2Ident, DashSide::kBefore), DmeTenthsText(nav2Distance),
                              WholeDegreesText(nav2Radial), TenthsAsWholeText(dme2Aux)};
  const std::string adfId = IdentText(adfIdent, DashSide::kAfter);
  const std::string adfSignalFlag = AdfSignalFlagText(adfSignal);
  const std::string gps[] = {IdentText(gpsIdent, DashSide::kAfter), GpsDistanceTenthsText(gpsDistance),
                             GpsCourseText(gpsCourse), GpsCrossTrackText(gpsCrossTrack),
                             GpsTimeToGoText(gpsTimeToGo)};
  const std::string windDirectionText = WholeDegreesText(windDirection);
  const std::string windSpeedText = WindSpeedText(windSpeed);

  PanelReply reply("- PDF Panel:---------------------");
  reply.Field("Pich", PitchText(pitch))
      .Field("Bank", BankText(bank))
      .Field(fd[0]).Field(fd[1]).Field(fd[2])
      .Log("FDir", fd[0] + " / " + fd[1] + " / " + fd[2])
      .Field("Ap", ApSwitchesText({apMaster, apHeadingHold, apNavHold, apAltitudeHold, apLocaliserHold,
                                   apGlideslopeHold, navGps, apAirspeedHold}))
      .Field("Ias", AirspeedHundredthsText(ias))
      .Field("Barb.P.", BarberPoleText(barberPole))
      .Field("Rad Alt", RadioAltitudeText(radioAltitude))
      .Field("Ace", AceText(ace))
      .Field("Ap Ias", ApAirspeedText(apAirspeed))
      .Field("Tas", TrueAirspeedText(tas))
      .Field("Alt", AltitudeText(altitude))
      .Field("VerSp", VerticalSpeedText(verticalSpeed))
      .Field("Ap Alt", ApAltitudeText(apAltitude))
      .Field("Ap Vsp", ApVerticalSpeedLongText(apVerticalSpeed))
      .Field("Rum", DegreesHundredthsText(heading))
      .Field("Adf", AngleHundredthsText(adf))
      .Field("Vor2", ThreeDigitText(vor2))
      .Field("Hdg", WholeDegreesText(apHeading))
      .Field("Crs", ThreeDigitText(course))
      .Field("Tof", DecText(toFrom))
      .Field("GsVor", ThreeDigitText(needle))
      .Field("GsIls", ThreeDigitText(glideslope))
      .Field("Ils", DecText(ils))
      .Field(nav1[0]).Field(nav1[1]).Field(nav1[2]).Field(nav1[3])
      .Log("Nav1", nav1[0] + "/" + nav1[1] + "/" + nav1[2] + "/" + nav1[3])
      .Field(nav2[0]).Field(nav2[1]).Field(nav2[2]).Field(nav2[3])
      .Log("Nav2", nav2[0] + "/" + nav2[1] + "/" + nav2[2] + "/" + nav2[3])
      .Field(adfId).Field(adfSignalFlag)
      .Log("AdfId", adfId + "/" + adfSignalFlag)
      .Field(gps[0]).Field(gps[1]).Field(gps[2]).Field(gps[3]).Field(gps[4])
      .Log("Gps", gps[0] + "/" + gps[1] + "/" + gps[2] + "/" + gps[3] + "/" + gps[4])
      .Field("Gsp", GroundSpeedText(groundSpeed))
      .Field(windDirectionText).Field(windSpeedText)
      .Log("Vientos", windDirectionText + "/" + windSpeedText)
      .Field("Oat", OutsideAirTempText(oat))
      .Field("Mark", MarkerText(marker1, marker2, marker3));
  return reply.Finish();
}

}  // namespace tavelor
