// Who may open the stream. A browser lets any web page open a WebSocket to any address and
// sends the page's origin with it; a page from elsewhere on the pilot's tablet must not be able
// to fly the aircraft, so the stream is opened only for pages this server gave out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavelor::web {

struct StreamOrigins {
  int port = 0;                     // the port the pages are served on
  std::vector<std::string> hosts;   // this machine's names and addresses: "localhost", "127.0.0.1",
                                    // "::1", its host name, its LAN address (lower-case)
  std::vector<std::string> extra;   // --origin values: whole origins, "http://name:9080"
};

// True when the WebSocket upgrade may go ahead. `origin` is the Origin header (empty when there
// is none: programs that are not browsers send none and cannot be misled by a page), `host` the
// Host header the browser sent, `localAddress` the address the browser's connection reached.
//
// A page's origin passes when its host is one of this machine's names or addresses (or the
// address the connection reached) with the pages' port, when it is an --origin, or when it is
// exactly the Host header and that host is an address, not a name: a name the attacker
// controls could point at this machine (DNS rebinding), an address cannot be another site.
bool MayOpenStream(std::string_view origin, std::string_view host, std::string_view localAddress,
                   const StreamOrigins& allowed);

}  // namespace tavelor::web
