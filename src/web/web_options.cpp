#include "web/web_options.h"

#include <iostream>

#include "cli/command_line.h"

namespace tavelor::web {

int ParseWebOptions(int argc, char** argv, WebOptions* options) {
  cli::CommandLine line(
      "tavelor-web",
      "Serves live cockpit instruments to browsers (tablets, phones) and gives every panel reply\n"
      "as named numbers over a WebSocket, as a client of TavelorServer's panel port.");
  line.Value(
      "--server", "HOST:PORT", "HOST:PORT, for example 127.0.0.1:9696 or [::1]:9696",
      [options](const std::string& text) { return cli::ReadHostPort(text, &options->serverHost, &options->serverPort); },
      "the panel server (default 127.0.0.1:9696)");
  line.Port("--port", "N", &options->port, 0,
            "the browsers' port (default 9080; 0 takes any free port)");
  line.Text("--bind", "ADDR", &options->bind, "an address such as 127.0.0.1",
            "listen on this address only (default: every IPv4 interface)");
  line.Flag("--read-only", &options->readOnly, "pages watch but cannot send commands");
  line.Value(
          "--origin", "URL", "a page origin such as http://simpc.example.net:9080",
          [options](const std::string& text) {
            if (text.rfind("http", 0) != 0) return false;
            options->origins.push_back(text);
            return true;
          },
          "also let pages from URL open the stream (repeatable), for example\n"
          "http://simpc.example.net:9080 when tablets use such a name")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  line.Port("--sim-control", "PORT", &options->simControl, 0,
            "the stand-in simulator's control port on this computer, whose replay the\n"
            "index page shows and moves (default 9697; 0: none)");
  line.Whole("--max-per-address", "N", &options->maxPerAddress, 1, static_cast<long long>(kMaxConnections),
             "a number from 1 to " + std::to_string(kMaxConnections),
             "at most N connections from one address at once, of the " + std::to_string(kMaxConnections) +
                 " in all\n(default " + std::to_string(kDefaultMaxPerAddress) + "), so no one host takes every slot");
  return line.Parse(argc, argv, std::cout, std::cerr);
}

}  // namespace tavelor::web
