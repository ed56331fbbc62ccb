#include "web/stream_origin.h"

#include <algorithm>
#include <charconv>

#include "text/lower_case.h"

namespace tavelor::web {

namespace {

struct Authority {
  std::string host;  // lower-case, IPv6 without its brackets
  int port = 0;
};

// "name", "name:port", "[v6]" or "[v6]:port"; false when it is none of these.
bool ParseAuthority(std::string_view text, int defaultPort, Authority* out) {
  std::string_view host = text;
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && (rest.front() != ':' || rest.size() == 1)) return false;
    if (!rest.empty()) port = rest.substr(1);
  } else if (const size_t colon = text.find(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (port.empty()) return false;
  }
  if (host.empty() || host.find_first_of("/@ \t") != std::string_view::npos) return false;
  out->host = LowerCase(host);
  out->port = defaultPort;
  if (!port.empty()) {
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), out->port);
    if (error != std::errc() || end != port.data() + port.size()) return false;
  }
  return true;
}

bool ParseOrigin(std::string_view origin, Authority* out) {
  const std::string lower = LowerCase(origin);
  for (const auto& [scheme, port] : {std::pair{"http://", 80}, std::pair{"https://", 443}}) {
    if (std::string_view(lower).substr(0, std::char_traits<char>::length(scheme)) == scheme) {
      return ParseAuthority(std::string_view(lower).substr(std::char_traits<char>::length(scheme)),
                            port, out);
    }
  }
  return false;  // "null" (a sandboxed or local-file page) and anything else
}

// Digits and dots, or an IPv6 address: not a name that someone else's DNS could point here.
bool IsAddress(const std::string& host) {
  return host.find(':') != std::string::npos ||
         std::all_of(host.begin(), host.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

}  // namespace

bool MayOpenStream(std::string_view origin, std::string_view host, std::string_view localAddress,
                   const StreamOrigins& allowed) {
  if (origin.empty()) return true;
  const std::string lower = LowerCase(origin);
  if (std::find(allowed.extra.begin(), allowed.extra.end(), lower) != allowed.extra.end()) return true;
  Authority page;
  if (!ParseOrigin(origin, &page)) return false;
  if (page.port == allowed.port &&
      (page.host == LowerCase(localAddress) ||
       std::find(allowed.hosts.begin(), allowed.hosts.end(), page.host) != allowed.hosts.end())) {
    return true;
  }
  Authority reached;
  return ParseAuthority(host, 80, &reached) && IsAddress(page.host) &&
         reached.host == page.host && reached.port == page.port;
}

}  // namespace tavelor::web
