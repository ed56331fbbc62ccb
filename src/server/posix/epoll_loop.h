// The event loop on Linux: one epoll set holding the listener, its connections, a wake-up pipe
// for signals; the timers' deadlines bound each wait. One thread.
//
// The set is kept between waits and changed only when what a socket is watched for changes, so
// a pass costs what its ready sockets cost: thousands of idle connections add nothing to it.
//
// Signals only set flags and wake the loop with a byte on the pipe; the flags, not the bytes,
// say what was asked, so a full pipe (a storm of toggles while the loop was busy) never loses a
// quit, and a storm of toggles is applied as one toggle or none.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "server/accept_backoff.h"
#include "server/event_loop.h"

namespace tavelor {

class EpollLoop : public EventLoop {
 public:
  // bindAddress: a dotted IPv4 address to listen on, or "" for every address. `now` is the clock
  // of the timers and of the listener's rest after a failed accept.
  explicit EpollLoop(std::string bindAddress, NowFunction now = SteadyClock::now);
  ~EpollLoop() override;
  EpollLoop(const EpollLoop&) = delete;
  EpollLoop& operator=(const EpollLoop&) = delete;

  // False when the epoll set could not be made (the loop then serves nothing).
  bool Ready() const { return epoll_ >= 0; }
  // Serves until RequestQuit() (or a failed wait), then returns. The quit is used up.
  void Run();
  // One wait of at most maxWaitMs (-1: until something happens, or a timer is due) and the
  // events it brought. False once a quit was requested or the wait failed.
  bool PollOnce(int maxWaitMs);
  // Calls to accept() so far, failed ones included.
  uint64_t AcceptCalls() const { return acceptCalls_; }
  // Called on the loop's thread for the toggles requested since the last wake-up: once when
  // their number is odd, not at all when it is even.
  void SetDebugToggle(std::function<void()> toggle) { debugToggle_ = std::move(toggle); }
  // Safe from a signal handler: wake the loop to quit, or to press the debug switch. A quit is
  // never dropped; it is also seen by a loop that starts after it was requested.
  static bool InstallSignalPipe();
  static void RequestQuit();
  static void RequestDebugToggle();

  // EventLoop
  void SetEvents(LoopEvents* events) override { events_ = events; }
  void StartTimer(unsigned intervalMs) override { timer_.Start(intervalMs, now_()); }
  void StopTimer() override { timer_.running = false; }
  void StartIdleCheck(unsigned intervalMs) override { idleCheck_.Start(intervalMs, now_()); }
  void StopIdleCheck() override { idleCheck_.running = false; }
  bool Listen(uint16_t port, SocketFailure* failure) override;
  void StopListening() override;
  SendResult Send(ConnectionId connection, const char* data, size_t size) override;
  void WatchWritable(ConnectionId connection, bool watch) override;
  void Close(ConnectionId connection) override;
  std::string LocalAddress() override;

 private:
  struct Timer {
    bool running = false;
    SteadyClock::duration interval{};
    SteadyClock::time_point next{};
    void Start(unsigned intervalMs, SteadyClock::time_point now) {
      running = true;
      interval = std::chrono::milliseconds(intervalMs);
      next = now + interval;
    }
  };
  struct Watched {
    bool writable = false;    // waiting to write
    bool inputEnded = false;  // the peer sends no more: not read again
  };

  void Accept();
  void Receive(int fd);
  void Handle(int fd, uint32_t events);
  // Makes the set watch the connection for what `watched` says.
  void Rewatch(int fd, const Watched& watched);
  void WatchListener(bool on);
  void WatchSignalPipe();
  // Delivers a timer's event when it is due.
  void Fire(Timer& timer, void (LoopEvents::*event)());
  int WaitMs(int maxWaitMs) const;
  // Takes what the signal handlers asked for; false when a quit was requested (the request is
  // then used up).
  bool TakeSignals();

  std::string bindAddress_;
  NowFunction now_;
  int epoll_ = -1;
  LoopEvents* events_ = nullptr;
  std::function<void()> debugToggle_;
  int listener_ = -1;
  bool listenerWatched_ = false;
  bool pipeWatched_ = false;
  AcceptBackoff acceptBackoff_;
  uint64_t acceptCalls_ = 0;
  std::unordered_map<int, Watched> connections_;
  Timer timer_;
  Timer idleCheck_;
};

}  // namespace tavelor
