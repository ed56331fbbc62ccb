// The stand-in's one loop on Linux: every pass gathers the descriptors its parts wait on (the
// window's and the control channel's listeners and connections) behind a wake-up pipe, waits in
// one poll(), and lets each part serve what became ready. No part can hold the loop: every
// socket is non-blocking and every packet arrives whole.
#pragma once

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <vector>

namespace tavelor::sim {

class SimService;

using PollClock = std::chrono::steady_clock;

// One pass's descriptors; each part remembers where its own went.
class PollList {
 public:
  size_t Add(int fd, short events) {
    fds_.push_back({fd, events, 0});
    return fds_.size() - 1;
  }
  short Ready(size_t at) const { return fds_[at].revents; }
  std::vector<pollfd>& Fds() { return fds_; }

 private:
  std::vector<pollfd> fds_;
};

class PollLoop {
 public:
  PollLoop();
  ~PollLoop();
  PollLoop(const PollLoop&) = delete;
  PollLoop& operator=(const PollLoop&) = delete;

  bool HasWakePipe() const { return wakeRead_ >= 0; }
  // A pass's list, the wake-up pipe first in it.
  PollList Begin() const;
  // Waits until a descriptor of `fds` is ready or `until` passed. False when the loop must end:
  // Wake() was called (its byte is drained) or poll() failed.
  bool Wait(PollList& fds, PollClock::time_point until);
  // Ends the current or the next Wait(), from any thread.
  void Wake();
  // Forgets a wake-up meant for a loop that no longer runs.
  void DrainWake();

 private:
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
};

// When accept fails for want of descriptors or memory, trying again at once would fail again and
// spin: both listeners rest (SimService::kAcceptPause) and the failure is said once.
class AcceptRest {
 public:
  explicit AcceptRest(SimService& service) : service_(service) {}
  // After a failed accept with `error`: true to try again at once (that client left before it
  // was taken, or a signal came). "Nothing waiting" ends the spell of failures: the kernel takes
  // a descriptor before it looks at the queue, so one was to be had.
  bool KeepAccepting(int error);
  bool Resting() const { return PollClock::now() < until_; }
  PollClock::time_point Until() const { return until_; }

 private:
  SimService& service_;
  PollClock::time_point until_{};
};

}  // namespace tavelor::sim
