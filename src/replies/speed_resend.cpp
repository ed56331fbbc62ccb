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
  if (state.SpeedRefMode == 1) {
    ApmaCommand(state, "APMA:" + apMachText);
  } else {
    ApiaCommand(state, "APIA:" + apIasText);
  }
  refreshCount = 0;
}

}  // namespace tavelor
