#include "replies/radio_reply.h"

#include "replies/panel_reply.h"
#include "replies/radio_rules.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

std::string RadioReply(RequestState& state) {
  PanelReads in(state.link);
  const auto& dme1 = in.Read(offsets::kDme1Distance);
  const auto& dme2 = in.Read(offsets::kDme2Distance);
  const auto& transponder = in.Read(offsets::kTransponder);
  const auto& com1a = in.Read(offsets::kCom1Active);
  const auto& com1b = in.Read(offsets::kCom1Standby);
  const auto& com2a = in.Read(offsets::kCom2Active);
  const auto& com2b = in.Read(offsets::kCom2Standby);
  const auto& nav1a = in.Read(offsets::kNav1Active);
  const auto& nav1b = in.Read(offsets::kNav1Standby);
  const auto& nav2a = in.Read(offsets::kNav2Active);
  const auto& nav2b = in.Read(offsets::kNav2Standby);
  const auto& adf = in.Read(offsets::kAdfFrequency);
  const auto& audio = in.Read(offsets::kAudioSelector);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  PanelReply reply(state, ReplyCode::kRadi);
#define FIELD(number, name, label, unit, width, kind, rule, ...) reply.Field(number, rule);
#include "replies/tables/radi.inc"
#undef FIELD
  // COM2 is logged right after COM1 but goes last on the line.
  reply.Log(1, 5).Log(12, 13).Log(6, 11);
  return reply.Finish();
}

}  // namespace tavelor
