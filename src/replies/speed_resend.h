// The PFD and FGP panels keep the simulator's autopilot speed target fresh: every 101st reply
// of each hands the target it has just read back to the APMA (Mach, SpeedRefMode 1) or APIA
// (airspeed, any other mode) command, exactly as a client's command would.
#pragma once

#include <string>

#include "core/request_state.h"

namespace tavelor {

// Runs after the panel's debug block. `refreshCount` is the panel's own count in `state`
// (PfdRefreshCount or FgpRefreshCount), whose SpeedRefMode picks the command; `readDelivered`
// says whether this request's read exchange delivered its values: a failed read leaves them at
// zero, and writing a zero target from it would throw the pilot's setting away, so the re-send
// waits for the next good read (the count stays above 100 until then). A re-send whose text
// does not parse ends the request with the integer error; the count has started over all the
// same, so the next 100 replies go out as usual.
void SpeedResendStep(RequestState& state, int& refreshCount, bool readDelivered,
                     const std::string& apMachText, const std::string& apIasText);

}  // namespace tavelor
