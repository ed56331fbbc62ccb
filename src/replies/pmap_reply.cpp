#include "replies/pmap_reply.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "replies/hsi_rules.h"
#include "replies/map_rules.h"
#include "replies/panel_reply.h"
#include "replies/pfd_rules.h"
#include "replies/traffic.h"
#include "simlink/offsets.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr double kNauticalMilesPerMetre = 0.000539957;
constexpr double kDegreesPerRadian = 57.2958;
constexpr long double kKnotsPerMetrePerSecond = 1.9438444924406046L;
constexpr int64_t kMaxGroundSpeed = 999;
constexpr uint16_t kMaxDmeTenths = 3000;  // beyond it the receiver has no station
constexpr int64_t kMaxGpsTenths = 9999;

// "1" while DME 2 has a station in range.
std::string Vor2FlagText(uint16_t dmeTenths) {
  return dmeTenths != 0 && dmeTenths <= kMaxDmeTenths ? "1" : "0";
}

// The extended map's own forms of three values the PFD and HSI also show: its rules store the
// intermediate results as 64-bit reals, and its ground speed factor is written one digit apart,
// so these stay its own.

// Metres per second x 65536 to knots in 3 digits, held at 999.
std::string GspText(int32_t raw) {
  const int64_t knots =
      RoundExtended(static_cast<long double>(raw) / 65536 * kKnotsPerMetrePerSecond);
  return PadLeft(DecText(std::min(knots, kMaxGroundSpeed)), 3, '0');
}

// Radians to whole degrees, at least 3 characters: pi gives "180", -0.1 gives "0-6".
std::string CourseDegreesText(double radians) {
  return PadLeft(DecText(RoundReal(RealMul(radians, kDegreesPerRadian))), 3, '0');
}

// Metres to tenths of a nautical mile in 4 digits, held at 9999.
std::string GpsTenthsText(double metres) {
  double nm = RealMul(metres, kNauticalMilesPerMetre);
  nm = RealMul(nm, 10);
  return PadLeft(DecText(std::min(RoundReal(nm), kMaxGpsTenths)), 4, '0');
}

}  // namespace

std::string ExtendedMapReply() {
  PanelReads in;
  const auto& latitude = in.Read(offsets::kLatitude);
  const auto& longitude = in.Read(offsets::kLongitude);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& windDirection = in.Read(offsets::kWindDirection);
  const auto& windSpeed = in.Read(offsets::kWindSpeed);
  const auto& radioAltitude = in.Read(offsets::kRadioAltitude);
  const auto& altitude = in.Read(offsets::kAltitudeFeet);
  const std::vector<TrafficSlotReads> traffic = ReadTraffic(in);
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

  const std::string windDirectionText = WholeDegreesText(windDirection);
  const std::string windSpeedText = WindSpeedText(windSpeed);
  const std::string radAltText = RadAltText(radioAltitude);
  const std::string altText = AltitudeText(altitude);
  const std::string magText = MagText(magneticVariation);
  const std::vector<TrafficTexts> trafficTexts = TrafficSlotTexts(traffic);
  const std::string adfText = AngleHundredthsText(adfBearing);
  const std::string adfFlag = AdfSignalFlagText(adfSignal);
  const std::string vor2Text = ThreeDigitText(vor2);
  const std::string vor2Flag = Vor2FlagText(vor2Dme);
  const std::string gpsSelectionText = DecText(navGpsSelector);
  const std::string gpsCourseText = CourseDegreesText(gpsCourse);
  const std::string gpsNeedleText = CrossTrackText(gpsCrossTrack);
  const std::string nav1IdText = IdentText(nav1Ident, DashSide::kAfter);
  const std::string nav1DistanceText = DmeTenthsText(nav1Distance);
  const std::string nav2IdText = IdentText(nav2Ident, DashSide::kAfter);
  const std::string nav2DistanceText = DmeTenthsText(nav2Distance);
  const std::string gpsIdText = IdentText(gpsIdent, DashSide::kAfter);
  const std::string gpsDistanceText = GpsTenthsText(gpsDistance);

  // The block follows the map reply's, then the instruments, then the traffic; two-value
  // lines join with "/", the identifier lines with ":".
  PanelReply reply("- Mapa Panel:---------------------");
  reply.Field("Lat", LatitudeText(latitude))
      .Field("Lon", LongitudeText(longitude))
      .Field("Dir", DegreesHundredthsText(heading))
      .Log("Mag", magText)
      .Log("Alt", altText)
      .Log("Vientos", windDirectionText + "/" + windSpeedText)
      .Field(windDirectionText)
      .Field(windSpeedText)
      .Field("RadAlt", radAltText)
      .Field("0000")  // where the map reply has its GPS distance and time: always zero here
      .Field("0000")
      .Field(altText);
  AddTrafficFields(reply, trafficTexts);
  reply.Field("Oat", OutsideAirTempText(outsideAirTemp))
      .Field("Gsp", GspText(groundSpeed))
      .Field(adfText)
      .Field(adfFlag)
      .Log("Adf", adfText + "/" + adfFlag)
      .Field(vor2Text)
      .Field(vor2Flag)
      .Log("Vor2", vor2Text + "/" + vor2Flag)
      .Field("Crs", ThreeDigitText(nav1Course))
      .Field("Tof", DecText(nav1ToFrom))
      .Field("GsVor1", ThreeDigitText(nav1Needle))
      .Field(gpsSelectionText)
      .Field(gpsCourseText)
      .Field(gpsNeedleText)
      .Log("Gps", gpsSelectionText + "/" + gpsCourseText + "/" + gpsNeedleText)
      .Field("Ils", DecText(nav1Ils))
      .Field("GsIls", ThreeDigitText(nav1Glideslope))
      .Field(nav1IdText)
      .Field(nav1DistanceText)
      .Log("Nav1", nav1IdText + ":" + nav1DistanceText)
      .Field(nav2IdText)
      .Field(nav2DistanceText)
      .Log("Nav2", nav2IdText + ":" + nav2DistanceText)
      .Field(gpsIdText)
      .Field(gpsDistanceText)
      .Log("Gps", gpsIdText + ":" + gpsDistanceText)
      .Field(magText);
  LogTraffic(reply, trafficTexts);
  return reply.Finish();
}

}  // namespace tavelor
