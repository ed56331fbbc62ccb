// The electric panel: every value in the same form as the argument of the command that sets
// it, so a panel can echo a switch back unchanged.
#pragma once

#include <string>

namespace tavelor {

std::string ElectricReply();

}  // namespace tavelor
