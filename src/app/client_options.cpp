#include "app/client_options.h"

namespace tavelor {

CLI::Option* AddClientOptions(cli::CommandLine& line, ClientLimits* limits,
                              const std::string& maxClientsDefault) {
  CLI::Option* maxClients =
      line.Whole("--max-clients", "N", &limits->maxClients, 1, kMostClientsOption,
                 "a number from 1 to " + std::to_string(kMostClientsOption),
                 "serve at most N clients at once; one more is closed at once\n(default: " +
                     maxClientsDefault + ")");
  line.Value(
      "--idle-timeout", "SECONDS",
      "whole seconds from 0 (never) to " + std::to_string(kLongestIdleTimeout),
      [limits](const std::string& text) {
        long long seconds = 0;
        if (!cli::ReadWhole(text, 0, kLongestIdleTimeout, &seconds)) return false;
        limits->idleTimeout = std::chrono::seconds(seconds);
        return true;
      },
      "close a client that sent nothing for SECONDS seconds (default 0: never)");
  return maxClients;
}

}  // namespace tavelor
