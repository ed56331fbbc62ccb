// The event loop on Windows: the listener's accept, read, write and close events and the
// timer's ticks arrive as messages to a message-only window of this loop's own, on the thread
// that runs the program's message loop. No Windows types here: sockets travel as ConnectionId.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "server/accept_backoff.h"
#include "server/event_loop.h"

namespace tavelor {

class AsyncSelectLoop : public EventLoop {
 public:
  explicit AsyncSelectLoop(void* instance) : instance_(instance) {}
  ~AsyncSelectLoop() override;
  AsyncSelectLoop(const AsyncSelectLoop&) = delete;
  AsyncSelectLoop& operator=(const AsyncSelectLoop&) = delete;

  // Creates the window that receives the socket and timer messages. False when it cannot.
  bool Open();

  // EventLoop
  void SetEvents(LoopEvents* events) override { events_ = events; }
  void StartTimer(unsigned intervalMs) override;
  void StopTimer() override;
  void StartIdleCheck(unsigned intervalMs) override;
  void StopIdleCheck() override;
  // Binds to every local address, delivers OnListenerBound, then listens with the longest
  // queue the system allows.
  bool Listen(uint16_t port, SocketFailure* failure) override;
  void StopListening() override;
  SendResult Send(ConnectionId connection, const char* data, size_t size) override;
  void WatchWritable(ConnectionId, bool) override {}  // FD_WRITE comes by itself after a full send
  void Close(ConnectionId connection) override;
  std::string LocalAddress() override;

  // The window procedure's body: the socket, accept and timer messages; the rest to the default.
  intptr_t HandleMessage(void* window, unsigned message, uintptr_t wParam, intptr_t lParam);

 private:
  static constexpr uintptr_t kNoSocket = ~static_cast<uintptr_t>(0);  // INVALID_SOCKET
  void OnSocketMessage(uintptr_t socket, intptr_t lParam);
  void Accept();
  void Receive(uintptr_t socket);
  void PeerClosed(uintptr_t socket);
  // Asks for the listener's events, accepts among them or not.
  void WatchListener(bool accepting);

  void* instance_;
  void* window_ = nullptr;
  LoopEvents* events_ = nullptr;
  uintptr_t listener_ = kNoSocket;
  std::set<uintptr_t> connections_;
  // Connections whose peer sends no more: told once, and still written to.
  std::set<uintptr_t> finished_;
  // After an accept failed for want of sockets or buffers, the accept event is off for a short
  // while rather than coming back at once in a busy loop; logged once per spell.
  AcceptBackoff acceptBackoff_;
};

}  // namespace tavelor
