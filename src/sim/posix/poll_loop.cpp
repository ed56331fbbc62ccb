#include "sim/posix/poll_loop.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sim/sim_service.h"

namespace tavelor::sim {

PollLoop::PollLoop() {
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
  }
}

PollLoop::~PollLoop() {
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

PollList PollLoop::Begin() const {
  PollList fds;
  fds.Add(wakeRead_, POLLIN);
  return fds;
}

bool PollLoop::Wait(PollList& fds, PollClock::time_point until) {
  int timeout = -1;
  if (until != PollClock::time_point::max()) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - PollClock::now()).count();
    timeout = static_cast<int>(std::clamp<long long>(ms + 1, 0, 60000));
  }
  std::vector<pollfd>& list = fds.Fds();
  if (::poll(list.data(), list.size(), timeout) < 0 && errno != EINTR) return false;
  if (list[0].revents) {
    DrainWake();
    return false;
  }
  return true;
}

void PollLoop::Wake() {
  if (wakeWrite_ < 0) return;
  const char b = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &b, 1);
}

void PollLoop::DrainWake() {
  char drain[64];
  while (::read(wakeRead_, drain, sizeof drain) > 0) {
  }
}

bool AcceptRest::KeepAccepting(int error) {
  if (error == EINTR || error == ECONNABORTED || error == EPROTO) return true;
  if (error == EAGAIN || error == EWOULDBLOCK) {
    service_.AcceptRecovered();
  } else {
    until_ = PollClock::now() + SimService::kAcceptPause;
    service_.AcceptFailed(std::strerror(error));
  }
  return false;
}

}  // namespace tavelor::sim
