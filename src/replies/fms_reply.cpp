#include "replies/fms_reply.h"

#include "replies/angle_rules.h"
#include "replies/identifier_rules.h"
#include "replies/panel_reply.h"
#include "simlink/offsets.h"

namespace tavelor {

std::string FmsReply(RequestState& state) {
  PanelReads in(state.link);
  const auto& latitude = in.Read(offsets::kLatitude);
  const auto& longitude = in.Read(offsets::kLongitude);
  const auto& gpsId = in.Read(offsets::kGpsNextId);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  PanelReply reply(state, ReplyCode::kFms);
#define FIELD(number, name, label, unit, width, kind, rule, ...) reply.Field(number, rule);
#include "replies/tables/fms.inc"
#undef FIELD
  reply.Log(1, 3);
  return reply.Finish();
}

}  // namespace tavelor
