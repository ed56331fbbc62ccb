// A loop-event sink that hands every event on to another one. A shell that gives some events
// names of its own (the Windows form's component handlers) derives from it and overrides only
// those; every other event reaches TfMain unchanged, so the forwarding is written once.
#pragma once

#include <string>

#include "server/event_loop.h"

namespace tavelor {

class ForwardedEvents : public LoopEvents {
 public:
  // Where the events go; until it is set, they are dropped.
  void ForwardTo(LoopEvents* to) { to_ = to; }

  void OnTimer() override { if (to_) to_->OnTimer(); }
  void OnListenerBound() override { if (to_) to_->OnListenerBound(); }
  void OnListenerFailed(const SocketFailure& failure) override { if (to_) to_->OnListenerFailed(failure); }
  void OnAccepted(ConnectionId client) override { if (to_) to_->OnAccepted(client); }
  void OnReceived(ConnectionId client, const std::string& bytes) override {
    if (to_) to_->OnReceived(client, bytes);
  }
  void OnPeerFinished(ConnectionId client) override { if (to_) to_->OnPeerFinished(client); }
  void OnIdleCheck() override { if (to_) to_->OnIdleCheck(); }
  void OnWritable(ConnectionId client) override { if (to_) to_->OnWritable(client); }
  void OnFailed(ConnectionId client, const SocketFailure& failure) override {
    if (to_) to_->OnFailed(client, failure);
  }
  void OnClosed(ConnectionId client) override { if (to_) to_->OnClosed(client); }

 private:
  LoopEvents* to_ = nullptr;
};

}  // namespace tavelor
