#include "replies/speed_resend.h"

#include "commands/autopilot_commands.h"

namespace tavelor {

namespace {
constexpr int kRepliesBetweenResends = 100;
using CommandHandler = void (*)(RequestState&, const CommandArguments&);
}  // namespace

void SpeedResendStep(RequestState& state, int& refreshCount, bool readDelivered,
                     const std::string& apMachText, const std::string& apIasText) {
  ++refreshCount;
  if (refreshCount <= kRepliesBetweenResends || !readDelivered) return;
  // The count restarts before the write-back is tried: a target whose text the command cannot
  // parse (a Mach target of -0.01 to -0.09 shows as "0-1" to "0-9") then costs this one reply,
  // not every reply of the panel until the target changes.
  refreshCount = 0;
  // As a client would send it: the code, one character, then the target's text.
  const auto send = [&state](CommandCode command, CommandHandler handler, const std::string& text) {
    const RequestCode& row = CommandRow(command);
    const std::string requestText = row.code + std::string(":") + text;
    handler(state, CommandArguments(requestText, row));
  };
  if (state.SpeedRefMode == 1) {
    send(CommandCode::kApma, ApmaCommand, apMachText);
  } else {
    send(CommandCode::kApia, ApiaCommand, apIasText);
  }
}

}  // namespace tavelor
