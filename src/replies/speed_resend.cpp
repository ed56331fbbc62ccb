#include "replies/speed_resend.h"

#include "commands/autopilot_commands.h"

namespace tavelor {

namespace {
constexpr int kRepliesBetweenResends = 100;
}  // namespace

void SpeedResendStep(RequestState& state, int& refreshCount, bool readDelivered,
                     const std::string& apMachText, const std::string& apIasText) {
  ++refreshCount;
  if (refreshCount <= kRepliesBetweenResends || !readDelivered) return;
  // The count restarts before the write-back is tried: a target whose text the command cannot
  // parse (a Mach target of -0.01 to -0.09 shows as "0-1" to "0-9") then costs this one reply,
  // not every reply of the panel until the target changes.
  refreshCount = 0;
  if (state.SpeedRefMode == 1) {
    ApmaCommand(state, "APMA:" + apMachText);
  } else {
    ApiaCommand(state, "APIA:" + apIasText);
  }
}

}  // namespace tavelor
