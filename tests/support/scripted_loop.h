// An event loop whose sockets are scripted by the test: each connection takes as many bytes as
// the test lets it, or fails; the test delivers the events. And a view that records what TfMain
// shows.
#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/main_view.h"
#include "server/event_loop.h"

namespace tavelor::testing {

class ScriptedLoop : public EventLoop {
 public:
  struct Socket {
    std::string wire;           // what reached the client
    size_t room = 1 << 30;      // bytes the socket takes before it is full
    bool failSend = false;      // the next send fails with a reset
    bool watching = false;
  };

  LoopEvents* events = nullptr;
  bool timerRunning = false;
  bool idleCheckRunning = false;
  int listens = 0;
  const char* failListenAt = nullptr;  // "bind" or "listen": Listen fails there
  std::map<ConnectionId, Socket> sockets;
  std::vector<ConnectionId> closed;
  std::map<ConnectionId, std::string> wireAtClose;  // what had reached each closed client

  // Events, as the platform would deliver them.
  void Accept(ConnectionId c) {
    sockets[c];
    events->OnAccepted(c);
  }
  void Receive(ConnectionId c, const std::string& bytes) { events->OnReceived(c, bytes); }
  // The client reads everything sent so far, making room again.
  std::string Drain(ConnectionId c, size_t room = 1 << 30) {
    Socket& s = sockets[c];
    std::string got;
    got.swap(s.wire);
    s.room = room;
    if (s.watching) events->OnWritable(c);
    return got;
  }

  void SetEvents(LoopEvents* e) override { events = e; }
  void StartTimer(unsigned) override { timerRunning = true; }
  void StopTimer() override { timerRunning = false; }
  void StartIdleCheck(unsigned) override { idleCheckRunning = true; }
  void StopIdleCheck() override { idleCheckRunning = false; }
  bool Listen(uint16_t, SocketFailure* failure) override {
    ++listens;
    const std::string at = failListenAt ? failListenAt : "";
    if (at == "bind") {
      *failure = {98, "Address already in use", "bind"};
      return false;
    }
    events->OnListenerBound();
    if (at == "listen") {
      *failure = {22, "Invalid argument", "listen"};
      return false;
    }
    return true;
  }
  void StopListening() override {
    std::vector<ConnectionId> open;
    for (auto& [c, s] : sockets) open.push_back(c);
    for (ConnectionId c : open) Close(c);
  }
  SendResult Send(ConnectionId c, const char* data, size_t size) override {
    Socket& s = sockets[c];
    SendResult result;
    if (s.failSend) {
      result.failed = true;
      result.failure = {104, "Connection reset by peer", "send"};
      return result;
    }
    result.accepted = std::min(size, s.room);
    s.room -= result.accepted;
    s.wire.append(data, result.accepted);
    result.wouldBlock = result.accepted < size;
    return result;
  }
  void WatchWritable(ConnectionId c, bool watch) override { sockets[c].watching = watch; }
  void Close(ConnectionId c) override {
    if (!sockets.count(c)) return;
    wireAtClose[c] = sockets[c].wire;
    sockets.erase(c);
    closed.push_back(c);
    events->OnClosed(c);
  }
  std::string LocalAddress() override { return "192.0.2.7"; }
};

class RecordingView : public MainView {
 public:
  std::string caption, debugCaption, errorShown;
  bool movedToTopLeft = false;
  std::vector<std::string> log;

  void SetCaption(const std::string& c) override { caption = c; }
  void SetDebugCaption(const std::string& c) override { debugCaption = c; }
  void MoveToTopLeft() override { movedToTopLeft = true; }
  void ShowError(const std::string& text) override { errorShown = text; }
  void AppendLog(const std::string& line) override { log.push_back(line); }
};

}  // namespace tavelor::testing
