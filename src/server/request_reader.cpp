#include "server/request_reader.h"

#include <algorithm>

namespace tavelor {

RequestSocket::Got ReadRequest(RequestSocket& socket, ConnectionId connection, LoopEvents* events) {
  // At least one byte is asked for even when the system says none wait: the receive is what
  // tells an end of data or a failure, and on some systems what asks for the next read event.
  const size_t size = std::clamp<size_t>(socket.Waiting(), 1, kMaxRequestRead);
  std::string received(size, '\0');
  size_t got = 0;
  SocketFailure failure;
  const RequestSocket::Got result = socket.Receive(received.data(), size, &got, &failure);
  if (!events) return result;
  switch (result) {
    case RequestSocket::Got::kBytes:
      received.resize(got);
      events->OnReceived(connection, received);
      break;
    case RequestSocket::Got::kEnd: events->OnPeerFinished(connection); break;
    case RequestSocket::Got::kFailed: events->OnFailed(connection, failure); break;
    case RequestSocket::Got::kWouldBlock: break;
  }
  return result;
}

}  // namespace tavelor
