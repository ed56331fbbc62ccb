// The event loop seam: the few things each platform's loop does for the server (a listener, its
// connections, one timer) and the events it delivers back. Everything above it is portable;
// each platform implements it once (server/posix: epoll; server/win32: socket messages to a
// window). One thread: every event runs to completion before the next one is delivered.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tavelor {

using ConnectionId = uint64_t;

// The clock a loop and the connections read: the steady clock, or a test's own.
using SteadyClock = std::chrono::steady_clock;
using NowFunction = std::function<SteadyClock::time_point()>;

// A socket call that failed: the system's error number and its text, and the call ("bind",
// "listen", "recv", "send"); no call when the error came with a network event.
struct SocketFailure {
  int number = 0;
  std::string systemText;
  const char* api = nullptr;
};

// What one send handed to a connection achieved.
struct SendResult {
  size_t accepted = 0;      // bytes the socket took
  bool wouldBlock = false;  // full for now: keep the rest and wait for OnWritable
  bool failed = false;      // a real failure, in `failure`
  SocketFailure failure;
};

// The events a loop delivers, one at a time.
class LoopEvents {
 public:
  virtual ~LoopEvents() = default;
  virtual void OnTimer() = 0;
  // The listener is bound and about to listen.
  virtual void OnListenerBound() = 0;
  // The listening socket itself reported an error; it keeps listening.
  virtual void OnListenerFailed(const SocketFailure& failure) = 0;
  virtual void OnAccepted(ConnectionId connection) = 0;
  // Everything that was waiting on the connection, as one read.
  virtual void OnReceived(ConnectionId connection, const std::string& bytes) = 0;
  // The peer will send nothing more (it shut down its sending side, or closed). The connection
  // stays open for what is still owed to it, until Close().
  virtual void OnPeerFinished(ConnectionId connection) = 0;
  // The idle check's interval has passed (see StartIdleCheck).
  virtual void OnIdleCheck() = 0;
  // A connection that was being watched can take more.
  virtual void OnWritable(ConnectionId connection) = 0;
  // A receive failed, or an error came with a network event. The connection is still open.
  virtual void OnFailed(ConnectionId connection, const SocketFailure& failure) = 0;
  // The connection is gone: the peer closed it, or Close() or StopListening() did.
  virtual void OnClosed(ConnectionId connection) = 0;
};

class EventLoop {
 public:
  virtual ~EventLoop() = default;
  virtual void SetEvents(LoopEvents* events) = 0;

  // OnTimer every intervalMs until StopTimer; starting again restarts the interval.
  virtual void StartTimer(unsigned intervalMs) = 0;
  virtual void StopTimer() = 0;
  // OnIdleCheck every intervalMs until StopIdleCheck; independent of the timer above.
  virtual void StartIdleCheck(unsigned intervalMs) = 0;
  virtual void StopIdleCheck() = 0;
  // Binds to the port, delivers OnListenerBound, then listens. False with the failed call in
  // *failure (nothing is left open then).
  virtual bool Listen(uint16_t port, SocketFailure* failure) = 0;
  // Closes every connection (each delivered to OnClosed) and the listener.
  virtual void StopListening() = 0;
  // Hands bytes to the connection without blocking.
  virtual SendResult Send(ConnectionId connection, const char* data, size_t size) = 0;
  // Asks for OnWritable while `watch` is on (a no-op where the platform always reports it).
  virtual void WatchWritable(ConnectionId connection, bool watch) = 0;
  // Closes the connection; OnClosed follows before this returns.
  virtual void Close(ConnectionId connection) = 0;
  // The dotted IPv4 address to give to panels on other machines, "" when there is none.
  virtual std::string LocalAddress() = 0;
};

}  // namespace tavelor
