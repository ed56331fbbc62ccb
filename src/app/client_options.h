// The options both server programs take for their clients: --max-clients N and
// --idle-timeout SECONDS.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "server/connections.h"

namespace tavelor {

inline constexpr unsigned long kMostClientsOption = 1000000;
inline constexpr unsigned long kLongestIdleTimeout = 86400;

enum class ClientOption { kNotOne, kTaken, kBad };

// Reads the option at args[*i] and its value (moving *i past it) into *limits. kNotOne when it
// is another option; kBad with the message in *error when its value is missing or wrong.
ClientOption ReadClientOption(const std::vector<std::string>& args, size_t* i, ClientLimits* limits,
                              std::string* error);

}  // namespace tavelor
