// The listener's connections: each received text served as one request, and replies the socket
// has not taken yet kept, in order, until it can. A client that lets more than 1 MiB of its
// replies pile up unread is cut off instead of growing the server's memory.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "server/event_loop.h"

namespace tavelor {

inline constexpr size_t kMaxUnsentPerClient = 1 << 20;

class Connections {
 public:
  explicit Connections(EventLoop* loop) : loop_(loop) {}

  void Opened(ConnectionId connection);
  void Closed(ConnectionId connection);
  // Serves one received text and sends the answer, if any. A request error is logged and the
  // request dropped; the connection stays.
  void Received(ConnectionId connection, const std::string& bytes);
  void Writable(ConnectionId connection);
  // A failed receive or send: logged, and that connection alone is closed.
  void Failed(ConnectionId connection, const SocketFailure& failure);
  // Forgets every connection's unsent bytes (the listener is going away).
  void Clear() { unsent_.clear(); }

  size_t Unsent(ConnectionId connection) const;

 private:
  void Send(ConnectionId connection, const std::string& text);
  void Flush(ConnectionId connection);

  EventLoop* loop_;
  std::map<ConnectionId, std::string> unsent_;  // only connections with bytes waiting
};

}  // namespace tavelor
