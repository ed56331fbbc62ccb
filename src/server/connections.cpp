#include "server/connections.h"

#include "core/globals.h"
#include "core/log.h"
#include "server/request.h"
#include "server/socket_errors.h"
#include "text/request_error.h"

namespace tavelor {

void Connections::Opened(ConnectionId connection) { Forget(connection); }

void Connections::Closed(ConnectionId connection) { Forget(connection); }

void Connections::Clear() {
  unsent_.clear();
  total_ = 0;
}

void Connections::Received(ConnectionId connection, const std::string& bytes) {
  try {
    if (std::optional<std::string> answer = ServeRequest(bytes)) Send(connection, *answer);
  } catch (const RequestError& error) {
    // The request is dropped, unanswered; the connection goes on serving. With debug on, the
    // request itself is logged too, so a panel author can see what the server was sent.
    LogError(error.Message());
    if (DebugEnabled) LogLine("- Request: " + bytes);
  }
}

void Connections::Writable(ConnectionId connection) { Flush(connection); }

void Connections::Failed(ConnectionId connection, const SocketFailure& failure) {
  LogError(SocketFailureText(failure));
  Forget(connection);
  loop_->Close(connection);
}

size_t Connections::Unsent(ConnectionId connection) const {
  auto it = unsent_.find(connection);
  return it == unsent_.end() ? 0 : it->second.size();
}

void Connections::Forget(ConnectionId connection) {
  auto it = unsent_.find(connection);
  if (it == unsent_.end()) return;
  total_ -= it->second.size();
  unsent_.erase(it);
}

void Connections::Drop(ConnectionId connection, const std::string& why) {
  LogError("Client cut off: " + std::to_string(Unsent(connection)) + " bytes of replies unread, " +
           why);
  Forget(connection);
  loop_->Close(connection);
}

void Connections::Send(ConnectionId connection, const std::string& text) {
  std::string& unsent = unsent_[connection];
  unsent += text;
  total_ += text.size();
  if (unsent.size() > limits_.perClient) {
    Drop(connection, "more than " + std::to_string(limits_.perClient) + " for one client");
    return;
  }
  bool senderDropped = false;
  while (total_ > limits_.total) {
    auto most = unsent_.begin();
    for (auto it = unsent_.begin(); it != unsent_.end(); ++it) {
      if (it->second.size() > most->second.size()) most = it;
    }
    const ConnectionId heaviest = most->first;
    senderDropped = senderDropped || heaviest == connection;
    Drop(heaviest, "the most while all clients held more than " + std::to_string(limits_.total));
  }
  if (!senderDropped) Flush(connection);
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
    total_ -= sent.accepted;
    if (sent.wouldBlock || sent.accepted == 0) break;
  }
  loop_->WatchWritable(connection, !unsent.empty());
  if (unsent.empty()) unsent_.erase(it);
}

}  // namespace tavelor
