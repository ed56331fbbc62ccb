// The event loop on Linux: one poll() over the listener, its connections, a wake-up pipe for
// signals and the timer's deadline. One thread.
//
// Signals only set flags and wake the loop with a byte on the pipe; the flags, not the bytes,
// say what was asked, so a full pipe (a storm of toggles while the loop was busy) never loses a
// quit, and a storm of toggles is applied as one toggle or none.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "server/event_loop.h"

namespace tavelor {

class PollLoop : public EventLoop {
 public:
  // How long the listener rests after an accept failed for want of descriptors or memory.
  static constexpr int kAcceptPauseMs = 250;

  // bindAddress: a dotted IPv4 address to listen on, or "" for every address.
  explicit PollLoop(std::string bindAddress) : bindAddress_(std::move(bindAddress)) {}
  ~PollLoop() override;
  PollLoop(const PollLoop&) = delete;
  PollLoop& operator=(const PollLoop&) = delete;

  // Serves until RequestQuit() (or a failed poll), then returns. The quit is used up.
  void Run();
  // One wait of at most maxWaitMs (-1: until something happens, or the timer is due) and the
  // events it brought. False once a quit was requested or poll failed.
  bool PollOnce(int maxWaitMs);
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
  void StartTimer(unsigned intervalMs) override;
  void StopTimer() override { timerRunning_ = false; }
  bool Listen(uint16_t port, SocketFailure* failure) override;
  void StopListening() override;
  SendResult Send(ConnectionId connection, const char* data, size_t size) override;
  void WatchWritable(ConnectionId connection, bool watch) override;
  void Close(ConnectionId connection) override;
  std::string LocalAddress() override;

 private:
  using Clock = std::chrono::steady_clock;
  void Accept();
  void Receive(int fd);
  // Takes what the signal handlers asked for; false when a quit was requested (the request is
  // then used up).
  bool TakeSignals();

  std::string bindAddress_;
  LoopEvents* events_ = nullptr;
  std::function<void()> debugToggle_;
  int listener_ = -1;
  // After an accept failed for want of descriptors (or memory) the listener is left out of the
  // poll until then, instead of failing again at once in a busy loop; logged once per spell.
  Clock::time_point acceptPausedUntil_{};
  bool acceptFailureLogged_ = false;
  std::map<int, bool> connections_;  // socket -> waiting to write
  bool timerRunning_ = false;
  std::chrono::milliseconds interval_{0};
  Clock::time_point nextTick_{};
};

}  // namespace tavelor
