#include "web/web_options.h"

#include <iostream>

#include "cli/command_line.h"

namespace tavelor::web {

namespace {

// "HOST:PORT", "[v6]:PORT", or a host alone (the port stays 9696).
bool ParseServer(const std::string& text, WebOptions* options) {
  std::string host = text;
  std::string port;
  bool hasPort = false;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
    hasPort = !rest.empty();
    if (hasPort) port = rest.substr(1);
  } else if (const size_t colon = text.find(':'); colon != std::string::npos) {
    if (text.find(':', colon + 1) != std::string::npos) return false;  // IPv6 needs brackets
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    hasPort = true;
  }
  long long number = 0;
  if (host.empty() || (hasPort && !cli::ReadWhole(port, 1, 65535, &number))) return false;
  if (hasPort) options->serverPort = static_cast<int>(number);
  options->serverHost = host;
  return true;
}

}  // namespace

int ParseWebOptions(int argc, char** argv, WebOptions* options) {
  cli::CommandLine line(
      "tavelor-web",
      "Serves live cockpit instruments to browsers (tablets, phones) and gives every panel reply\n"
      "as named numbers over a WebSocket, as a client of TavelorServer's panel port.");
  line.Value(
      "--server", "HOST:PORT", "HOST:PORT, for example 127.0.0.1:9696 or [::1]:9696",
      [options](const std::string& text) { return ParseServer(text, options); },
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
