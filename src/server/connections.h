// The listener's connections: each received text served as one request, and replies the socket
// has not taken yet kept, in order, until it can. A client that lets more than 1 MiB of its
// replies pile up unread is cut off instead of growing the server's memory; and since many slow
// readers could each hold nearly that much, the unsent bytes of all clients together are bounded
// too (64 MiB): past it the client holding the most is cut off.
//
// The number of clients is bounded too, so that a crowd of idle or hostile connections cannot use
// up the descriptors and lock newcomers out: one past the bound is closed as soon as it is
// accepted, so it never waits in the listen queue. And a client that sends nothing for the idle
// time-out, when one is set, is closed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "core/request_state.h"
#include "server/event_loop.h"

namespace tavelor {

inline constexpr size_t kMaxUnsentPerClient = 1 << 20;
inline constexpr size_t kMaxUnsentTotal = 64 << 20;

struct UnsentLimits {
  size_t perClient = kMaxUnsentPerClient;
  size_t total = kMaxUnsentTotal;
};

// Descriptors kept back from clients: the standard streams, the listener, the loop's own, the
// link to the simulator with its memory block, the flight plan file, and one to accept a client
// past the bound and close it. The stand-in simulator, when it runs inside, needs its own.
inline constexpr uint64_t kReservedDescriptors = 16;
inline constexpr uint64_t kReservedForStandIn = 16;

// How many clients a process allowed `descriptors` open files can serve (at least one).
uint64_t MaxClientsFor(uint64_t descriptors, bool standInInside);

struct ClientLimits {
  uint64_t maxClients = UINT64_MAX;
  std::chrono::seconds idleTimeout{0};  // 0: never
};

class Connections {
 public:
  // Requests are served with `state`, and the connections' own lines go to its log.
  Connections(EventLoop* loop, RequestState& state, UnsentLimits limits = {},
              NowFunction now = SteadyClock::now)
      : loop_(loop), state_(state), limits_(limits), now_(std::move(now)) {}

  void SetClientLimits(const ClientLimits& limits) { clientLimits_ = limits; }
  const ClientLimits& Limits() const { return clientLimits_; }

  // A new connection. False when it is past the bound: it is then logged and closed.
  bool Opened(ConnectionId connection);
  // True when the connection was one Opened() took.
  bool Closed(ConnectionId connection);
  // Serves one received text and sends the answer, if any. A request error is logged and the
  // request dropped; the connection stays.
  void Received(ConnectionId connection, const std::string& bytes);
  // The client sends no more; it is still owed its unsent replies, then closed.
  void PeerFinished(ConnectionId connection);
  void Writable(ConnectionId connection);
  // A failed receive or send: logged, and that connection alone is closed.
  void Failed(ConnectionId connection, const SocketFailure& failure);
  // Closes, with a log line each, the clients that sent nothing for the idle time-out.
  void CloseIdle();
  // Forgets every connection and its unsent bytes (the listener is going away).
  void Clear();

  size_t Count() const { return clients_.size(); }
  size_t Unsent(ConnectionId connection) const;
  size_t UnsentTotal() const { return total_; }

 private:
  struct Client {
    std::list<ConnectionId>::iterator quietest;  // its place in byActivity_
    SteadyClock::time_point lastHeard;
    bool finished = false;  // the peer sends no more: close once nothing is owed
  };

  void Send(ConnectionId connection, const std::string& text);
  void Flush(ConnectionId connection);
  void Forget(ConnectionId connection);
  // Logs why, forgets its bytes and closes the connection.
  void Drop(ConnectionId connection, const std::string& why);
  void CloseIfDone(ConnectionId connection);

  EventLoop* loop_;
  RequestState& state_;
  UnsentLimits limits_;
  NowFunction now_;
  ClientLimits clientLimits_;
  std::unordered_map<ConnectionId, Client> clients_;
  std::list<ConnectionId> byActivity_;          // the longest silent first
  std::map<ConnectionId, std::string> unsent_;  // only connections with bytes waiting
  size_t total_ = 0;                            // the sizes in unsent_, added up
};

}  // namespace tavelor
