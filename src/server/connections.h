// The listener's connections: each received text served as one request, and replies the socket
// has not taken yet kept, in order, until it can. A client that lets more than 1 MiB of its
// replies pile up unread is cut off instead of growing the server's memory; and since many slow
// readers could each hold nearly that much, the unsent bytes of all clients together are bounded
// too (64 MiB): past it the client holding the most is cut off.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "server/event_loop.h"

namespace tavelor {

inline constexpr size_t kMaxUnsentPerClient = 1 << 20;
inline constexpr size_t kMaxUnsentTotal = 64 << 20;

struct UnsentLimits {
  size_t perClient = kMaxUnsentPerClient;
  size_t total = kMaxUnsentTotal;
};

class Connections {
 public:
  explicit Connections(EventLoop* loop, UnsentLimits limits = {}) : loop_(loop), limits_(limits) {}

  void Opened(ConnectionId connection);
  void Closed(ConnectionId connection);
  // Serves one received text and sends the answer, if any. A request error is logged and the
  // request dropped; the connection stays.
  void Received(ConnectionId connection, const std::string& bytes);
  void Writable(ConnectionId connection);
  // A failed receive or send: logged, and that connection alone is closed.
  void Failed(ConnectionId connection, const SocketFailure& failure);
  // Forgets every connection's unsent bytes (the listener is going away).
  void Clear();

  size_t Unsent(ConnectionId connection) const;
  size_t UnsentTotal() const { return total_; }

 private:
  void Send(ConnectionId connection, const std::string& text);
  void Flush(ConnectionId connection);
  void Forget(ConnectionId connection);
  // Logs why, forgets its bytes and closes the connection.
  void Drop(ConnectionId connection, const std::string& why);

  EventLoop* loop_;
  UnsentLimits limits_;
  std::map<ConnectionId, std::string> unsent_;  // only connections with bytes waiting
  size_t total_ = 0;                            // the sizes in unsent_, added up
};

}  // namespace tavelor
