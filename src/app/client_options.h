// The options both server programs take for their clients: --max-clients N and
// --idle-timeout SECONDS.
#pragma once

#include <string>

#include "cli/command_line.h"
#include "server/connections.h"

namespace tavelor {

inline constexpr unsigned long kMostClientsOption = 1000000;
inline constexpr unsigned long kLongestIdleTimeout = 86400;

// Adds both options to `line`, read into *limits; `maxClientsDefault` says what the program
// serves when --max-clients is not given. Returns --max-clients, whose count() says whether it was.
CLI::Option* AddClientOptions(cli::CommandLine& line, ClientLimits* limits,
                              const std::string& maxClientsDefault);

}  // namespace tavelor
