// The protocol has no framing of its own: whatever is waiting on a connection when it is read is
// one request. Each event loop offers its socket through RequestSocket; the rule is kept here.
#pragma once

#include <cstddef>
#include <string>

#include "server/event_loop.h"

namespace tavelor {

// Past this a read is cut (the system's receive buffers never hold as much).
inline constexpr size_t kMaxRequestRead = 0x10000000;

class RequestSocket {
 public:
  virtual ~RequestSocket() = default;
  // Bytes waiting now; 0 when none are or the system cannot tell.
  virtual size_t Waiting() = 0;
  enum class Got { kBytes, kEnd, kWouldBlock, kFailed };
  // One receive of at most `size` bytes into `into`: the bytes (*received of them), the end of
  // the peer's data, nothing now, or a failure in *failure.
  virtual Got Receive(char* into, size_t size, size_t* received, SocketFailure* failure) = 0;
};

// Reads everything waiting as one request and delivers what it found: OnReceived, OnFailed or
// OnPeerFinished (nothing when the socket had nothing after all). Returns what it delivered.
RequestSocket::Got ReadRequest(RequestSocket& socket, ConnectionId connection, LoopEvents* events);

}  // namespace tavelor
