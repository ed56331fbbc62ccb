// When accept fails for want of descriptors or memory, trying again at once fails again: a loop
// that did would spin. Both event loops rest the listener a quarter of a second instead, and log
// the failure once per spell; the clients wait in the listen queue meanwhile and connected ones
// go on being served.
#pragma once

#include <chrono>
#include <utility>

#include "server/event_loop.h"

namespace tavelor {

class AcceptBackoff {
 public:
  static constexpr std::chrono::milliseconds kPause{250};

  explicit AcceptBackoff(NowFunction now = SteadyClock::now) : now_(std::move(now)) {}

  // An accept failed for want of resources: the listener rests until RestingUntil(). True the
  // first time in a spell, which is the one to log.
  bool Failed() {
    until_ = now_() + kPause;
    const bool first = !inSpell_;
    inSpell_ = true;
    return first;
  }
  // An accept succeeded: the spell is over, and the next failure is logged again.
  void Succeeded() { inSpell_ = false; }
  bool Resting() const { return now_() < until_; }
  SteadyClock::time_point RestingUntil() const { return until_; }

 private:
  NowFunction now_;
  SteadyClock::time_point until_{};
  bool inSpell_ = false;
};

}  // namespace tavelor
