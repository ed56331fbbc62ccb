#include "replies/fms_reply.h"

#include "replies/map_rules.h"
#include "replies/panel_reply.h"
#include "simlink/offsets.h"

namespace tavelor {

std::string FmsReply() {
  PanelReads in;
  const auto& latitude = in.Read(offsets::kLatitude);
  const auto& longitude = in.Read(offsets::kLongitude);
  const auto& gpsId = in.Read(offsets::kGpsNextId);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  PanelReply reply("- FMS Panel:---------------------");
  reply.Field("Lat", LatitudeText(latitude))
      .Field("Lon", LongitudeText(longitude))
      .Field("Gps Id", GpsIdText(gpsId));
  return reply.Finish();
}

}  // namespace tavelor
