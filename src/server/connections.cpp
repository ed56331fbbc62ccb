#include "server/connections.h"

#include "core/log.h"
#include "server/request.h"
#include "server/socket_errors.h"
#include "text/request_error.h"

namespace tavelor {

void Connections::Opened(ConnectionId connection) { unsent_.erase(connection); }

void Connections::Closed(ConnectionId connection) { unsent_.erase(connection); }

void Connections::Received(ConnectionId connection, const std::string& bytes) {
  try {
    if (std::optional<std::string> answer = ServeRequest(bytes)) Send(connection, *answer);
  } catch (const RequestError& error) {
    // The request is dropped, unanswered; the connection goes on serving.
    LogError(error.what());
  }
}

void Connections::Writable(ConnectionId connection) { Flush(connection); }

void Connections::Failed(ConnectionId connection, const SocketFailure& failure) {
  LogError(SocketFailureText(failure));
  unsent_.erase(connection);
  loop_->Close(connection);
}

size_t Connections::Unsent(ConnectionId connection) const {
  auto it = unsent_.find(connection);
  return it == unsent_.end() ? 0 : it->second.size();
}

void Connections::Send(ConnectionId connection, const std::string& text) {
  std::string& unsent = unsent_[connection];
  unsent += text;
  if (unsent.size() > kMaxUnsentPerClient) {
    unsent_.erase(connection);
    loop_->Close(connection);
    return;
  }
  Flush(connection);
}

void Connections::Flush(ConnectionId connection) {
  auto it = unsent_.find(connection);
  if (it == unsent_.end()) return;
  std::string& unsent = it->second;
  while (!unsent.empty()) {
    const SendResult sent = loop_->Send(connection, unsent.data(), unsent.size());
    if (sent.failed) {
      Failed(connection, sent.failure);
      return;
    }
    unsent.erase(0, sent.accepted);
    if (sent.wouldBlock || sent.accepted == 0) break;
  }
  loop_->WatchWritable(connection, !unsent.empty());
  if (unsent.empty()) unsent_.erase(it);
}

}  // namespace tavelor
