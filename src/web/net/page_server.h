// The browsers' side: HTTP for the built-in pages and the field table (/schema.json), and the
// stream, a WebSocket at /stream, for pages this server gave out (see web/stream_origin.h).
// Every size and time is bounded: a request's head and the time it takes to come, a page's
// message, the messages waiting for a page that does not read (it is dropped), the connections
// open at once, from all browsers and from each address (see web/connection_shares.h), and a
// stream's silence: one that answers no ping is closed. A request that cannot be served is
// answered with its status (400, 405, 431) and the connection closed.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <memory>
#include <string>

#include "web/net/gateway.h"
#include "web/stream_origin.h"

namespace tavelor::web {

class PageServer {
 public:
  // At most maxPerAddress connections from one address (and kMaxConnections in all).
  PageServer(boost::asio::io_context& io, Gateway& gateway, StreamOrigins origins, LogFunction log,
             size_t maxPerAddress);
  // Binds and listens; an error text, empty when it listens.
  std::string Listen(const std::string& address, int port);
  int Port() const;
  // Where tablets on the network find the pages (its address, and its NAME.local name when it
  // has one): /address.json gives them to the index page.
  void SetAddresses(const std::string& lan, const std::string& local);
  // Takes no more connections and closes every one it has: their pending handlers then end at
  // their next turn, each page leaving the gateway (which must still be there).
  void Stop();

  struct Shared;  // what every connection needs to reach

 private:
  void Accept();

  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::steady_timer retry_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace tavelor::web
