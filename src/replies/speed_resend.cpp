#include "replies/speed_resend.h"

#include "commands/autopilot_commands.h"
#include "core/globals.h"

namespace tavelor {

namespace {
constexpr int kRepliesBetweenResends = 100;
}  // namespace

void SpeedResendStep(int& refreshCount, bool readDelivered, const std::string& apMachText,
                     const std::string& apIasText) {
  ++refreshCount;
  if (refreshCount <= kRepliesBetweenResends || !readDelivered) return;
  if (SpeedRefMode == 1) {
    ApmaCommand("APMA:" + apMachText);
  } else {
    ApiaCommand("APIA:" + apIasText);
  }
  refreshCount = 0;
}

}  // namespace tavelor
