// The event loop on Linux: one poll() over the listener, its connections, a wake-up pipe for
// signals and the timer's deadline. One thread.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "server/event_loop.h"

namespace tavelor {

class PollLoop : public EventLoop {
 public:
  // bindAddress: a dotted IPv4 address to listen on, or "" for every address.
  explicit PollLoop(std::string bindAddress) : bindAddress_(std::move(bindAddress)) {}
  ~PollLoop() override;
  PollLoop(const PollLoop&) = delete;
  PollLoop& operator=(const PollLoop&) = delete;

  // Serves until RequestQuit() (or a failed poll), then returns.
  void Run();
  // One wait of at most maxWaitMs (-1: until something happens, or the timer is due) and the
  // events it brought. False once a quit was requested or poll failed.
  bool PollOnce(int maxWaitMs);
  // Called on the loop's thread for each RequestDebugToggle().
  void SetDebugToggle(std::function<void()> toggle) { debugToggle_ = std::move(toggle); }
  // Safe from a signal handler: wake the loop to quit, or to press the debug switch.
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

  std::string bindAddress_;
  LoopEvents* events_ = nullptr;
  std::function<void()> debugToggle_;
  int listener_ = -1;
  std::map<int, bool> connections_;  // socket -> waiting to write
  bool timerRunning_ = false;
  std::chrono::milliseconds interval_{0};
  Clock::time_point nextTick_{};
};

}  // namespace tavelor
