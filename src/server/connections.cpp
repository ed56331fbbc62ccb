#include "server/connections.h"

#include "core/log.h"
#include "server/request.h"
#include "server/socket_errors.h"
#include "text/request_error.h"

namespace tavelor {

uint64_t MaxClientsFor(uint64_t descriptors, bool standInInside) {
  const uint64_t reserved = kReservedDescriptors + (standInInside ? kReservedForStandIn : 0);
  return descriptors > reserved ? descriptors - reserved : 1;
}

bool Connections::Opened(ConnectionId connection) {
  Closed(connection);  // a stale entry under a reused number
  if (clients_.size() >= clientLimits_.maxClients) {
    LogError(state_.log, "Client refused: " + std::to_string(clients_.size()) +
                             " clients connected, the most allowed");
    loop_->Close(connection);
    return false;
  }
  byActivity_.push_back(connection);
  clients_[connection] = Client{std::prev(byActivity_.end()), now_(), false};
  return true;
}

bool Connections::Closed(ConnectionId connection) {
  Forget(connection);
  auto it = clients_.find(connection);
  if (it == clients_.end()) return false;
  byActivity_.erase(it->second.quietest);
  clients_.erase(it);
  return true;
}

void Connections::Clear() {
  unsent_.clear();
  total_ = 0;
  clients_.clear();
  byActivity_.clear();
}

void Connections::Received(ConnectionId connection, const std::string& bytes) {
  if (auto it = clients_.find(connection); it != clients_.end()) {
    it->second.lastHeard = now_();
    byActivity_.splice(byActivity_.end(), byActivity_, it->second.quietest);
  }
  try {
    if (std::optional<std::string> answer = ServeRequest(state_, bytes)) Send(connection, *answer);
  } catch (const RequestError& error) {
    // The request is dropped, unanswered; the connection goes on serving. With debug on, the
    // request itself is logged too, so a panel author can see what the server was sent.
    LogError(state_.log, error.Message());
    if (state_.DebugEnabled) LogLine(state_.log, "- Request: " + bytes);
  }
}

void Connections::PeerFinished(ConnectionId connection) {
  auto it = clients_.find(connection);
  if (it == clients_.end()) {  // not one of ours: nothing is owed to it
    Forget(connection);
    loop_->Close(connection);
    return;
  }
  it->second.finished = true;
  CloseIfDone(connection);
}

void Connections::CloseIfDone(ConnectionId connection) {
  auto it = clients_.find(connection);
  if (it != clients_.end() && it->second.finished && Unsent(connection) == 0) loop_->Close(connection);
}

void Connections::Writable(ConnectionId connection) { Flush(connection); }

void Connections::Failed(ConnectionId connection, const SocketFailure& failure) {
  LogError(state_.log, SocketFailureText(failure));
  Forget(connection);
  loop_->Close(connection);
}

void Connections::CloseIdle() {
  if (clientLimits_.idleTimeout.count() <= 0) return;
  const SteadyClock::time_point now = now_();
  while (!byActivity_.empty()) {
    const ConnectionId quietest = byActivity_.front();
    if (now - clients_.at(quietest).lastHeard < clientLimits_.idleTimeout) return;
    LogError(state_.log, "Client cut off: nothing received for " +
                             std::to_string(clientLimits_.idleTimeout.count()) + " s");
    loop_->Close(quietest);
    Closed(quietest);  // also when the loop had already let it go
  }
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
  LogError(state_.log, "Client cut off: " + std::to_string(Unsent(connection)) +
                           " bytes of replies unread, " + why);
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
  if (!unsent.empty()) return;
  unsent_.erase(it);
  CloseIfDone(connection);
}

}  // namespace tavelor
