#include "replies/map_reply.h"

#include <algorithm>
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
constexpr int64_t kMaxGpsDistance = 999;   // nautical miles
constexpr int32_t kMaxGpsTimeToGo = 5940;  // seconds: the panel shows at most 99 minutes

// Whole nautical miles, right-aligned in 3 characters. A negative distance is not held.
std::string GpsDmeText(double metres) {
  const int64_t nm = RoundReal(RealMul(metres, kNauticalMilesPerMetre));
  return PadLeft(DecText(std::min(nm, kMaxGpsDistance)), 3, ' ');
}

// Seconds in 4 digits; a negative time passes as it is ("00-3").
std::string GpsEteText(int32_t seconds) {
  return PadLeft(DecText(std::min(seconds, kMaxGpsTimeToGo)), 4, '0');
}

}  // namespace

std::string MapReply() {
  PanelReads in;
  const auto& latitude = in.Read(offsets::kLatitude);
  const auto& longitude = in.Read(offsets::kLongitude);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& windDirection = in.Read(offsets::kWindDirection);
  const auto& windSpeed = in.Read(offsets::kWindSpeed);
  const auto& gpsId = in.Read(offsets::kGpsNextId);
  const auto& gpsDistance = in.Read(offsets::kGpsDistance);
  const auto& gpsTimeToGo = in.Read(offsets::kGpsTimeToGo);
  const auto& altitude = in.Read(offsets::kAltitudeFeet);
  const auto& radioAltitude = in.Read(offsets::kRadioAltitude);
  const std::vector<TrafficSlotReads> traffic = ReadTraffic(in);
  const auto& magneticVariation = in.Read(offsets::kMagneticVariation);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  const std::string windDirectionText = WholeDegreesText(windDirection);
  const std::string windSpeedText = WindSpeedText(windSpeed);
  const std::string altText = AltitudeText(altitude);
  const std::string radAltText = RadAltText(radioAltitude);
  const std::string magText = MagText(magneticVariation);
  const std::vector<TrafficTexts> trafficTexts = TrafficSlotTexts(traffic);

  // The block lists variation, altitude, wind and radio altitude right after the heading; the
  // line has radio altitude and variation last, after the traffic.
  PanelReply reply("- Mapa Panel:---------------------");
  reply.Field("Lat", LatitudeText(latitude))
      .Field("Lon", LongitudeText(longitude))
      .Field("Dir", DegreesHundredthsText(heading))
      .Log("Mag", magText)
      .Log("Alt", altText)
      .Log("Vientos", windDirectionText + "/" + windSpeedText)
      .Log("RadAlt", radAltText)
      .Field(windDirectionText)
      .Field(windSpeedText)
      .Field("Gps Id", GpsIdText(gpsId))
      .Field("Gps Dme", GpsDmeText(gpsDistance))
      .Field("Gps Ete", GpsEteText(gpsTimeToGo))
      .Field(altText);
  AddTrafficFields(reply, trafficTexts);
  reply.Field(radAltText).Field(magText);
  LogTraffic(reply, trafficTexts);
  return reply.Finish();
}

}  // namespace tavelor
