#include "web/web_options.h"

#include <charconv>

namespace tavelor::web {

const char* const kWebUsage =
    "Usage: tavelor-web [OPTION]...\n"
    "Serves live cockpit instruments to browsers (tablets, phones) and gives every panel reply\n"
    "as named numbers over a WebSocket, as a client of TavelorServer's panel port.\n"
    "\n"
    "  --server HOST:PORT  the panel server (default 127.0.0.1:9696)\n"
    "  --port N            the browsers' port (default 9080; 0 takes any free port)\n"
    "  --bind ADDR         listen on this address only (default: every IPv4 interface)\n"
    "  --read-only         pages watch but cannot send commands\n"
    "  --origin URL        also let pages from URL open the stream (repeatable), for example\n"
    "                      http://simpc.example.net:9080 when tablets use such a name\n"
    "  --max-per-address N at most N connections from one address at once, of the 256 in\n"
    "                      all (1 to 256, default 32), so no one host takes every slot\n"
    "  --help              show this text\n";

namespace {

bool ParseNumber(const std::string& text, int lowest, int highest, int* number) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest) {
    return false;
  }
  *number = value;
  return true;
}

bool ParsePort(const std::string& text, int lowest, int* port) { return ParseNumber(text, lowest, 65535, port); }

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
  if (host.empty() || (hasPort && !ParsePort(port, 1, &options->serverPort))) return false;
  options->serverHost = host;
  return true;
}

}  // namespace

ParsedWebOptions ParseWebOptions(const std::vector<std::string>& args) {
  ParsedWebOptions parsed;
  WebOptions& o = parsed.options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&](std::string* into) {
      if (i + 1 >= args.size()) return false;
      *into = args[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--read-only") {
      o.readOnly = true;
    } else if (arg == "--server") {
      if (!value(&text) || !ParseServer(text, &o)) {
        parsed.error = "--server needs HOST:PORT, for example 127.0.0.1:9696 or [::1]:9696";
      }
    } else if (arg == "--port") {
      if (!value(&text) || !ParsePort(text, 0, &o.port)) {
        parsed.error = "--port needs a port number from 0 to 65535";
      }
    } else if (arg == "--bind") {
      if (!value(&o.bind) || o.bind.empty()) parsed.error = "--bind needs an address such as 127.0.0.1";
    } else if (arg == "--max-per-address") {
      int most = 0;
      if (!value(&text) || !ParseNumber(text, 1, 256, &most)) {
        parsed.error = "--max-per-address needs a number from 1 to 256";
      } else {
        o.maxPerAddress = static_cast<size_t>(most);
      }
    } else if (arg == "--origin") {
      if (!value(&text) || text.rfind("http", 0) != 0) {
        parsed.error = "--origin needs a page origin such as http://simpc.example.net:9080";
      } else {
        o.origins.push_back(text);
      }
    } else {
      parsed.error = "unknown option '" + arg + "'";
    }
    if (!parsed.error.empty()) return parsed;
  }
  return parsed;
}

}  // namespace tavelor::web
