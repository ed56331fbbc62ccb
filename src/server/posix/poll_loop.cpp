#include "server/posix/poll_loop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace tavelor {

namespace {

int gSignalPipe[2] = {-1, -1};
// Lock-free, so safe to change from a signal handler.
std::atomic<bool> gQuitRequested{false};
std::atomic<unsigned> gDebugToggles{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<unsigned>::is_always_lock_free);

SocketFailure Failure(int error, const char* api) { return {error, std::strerror(error), api}; }

// One byte wakes the loop; when the pipe is full the loop is due to wake anyway.
void Wake() {
  const int saved = errno;  // a signal handler must leave errno as it found it
  if (gSignalPipe[1] >= 0) {
    const char byte = 'w';
    ssize_t ignored = write(gSignalPipe[1], &byte, 1);
    (void)ignored;
  }
  errno = saved;
}

}  // namespace

bool PollLoop::InstallSignalPipe() {
  if (gSignalPipe[0] >= 0) return true;
  return pipe2(gSignalPipe, O_NONBLOCK | O_CLOEXEC) == 0;
}

void PollLoop::RequestQuit() {
  gQuitRequested.store(true);
  Wake();
}

void PollLoop::RequestDebugToggle() {
  gDebugToggles.fetch_add(1);
  Wake();
}

bool PollLoop::TakeSignals() {
  char drain[256];
  while (gSignalPipe[0] >= 0 && read(gSignalPipe[0], drain, sizeof drain) > 0) {
  }
  // Read after the drain: a request whose byte was drained is seen here, and one that comes
  // later writes a new byte.
  if (gDebugToggles.exchange(0) % 2 == 1 && debugToggle_) debugToggle_();
  return !gQuitRequested.exchange(false);
}

PollLoop::~PollLoop() {
  for (auto& [fd, watch] : connections_) close(fd);
  if (listener_ >= 0) close(listener_);
}

void PollLoop::StartTimer(unsigned intervalMs) {
  timerRunning_ = true;
  interval_ = std::chrono::milliseconds(intervalMs);
  nextTick_ = Clock::now() + interval_;
}

bool PollLoop::Listen(uint16_t port, SocketFailure* failure) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *failure = Failure(errno, "socket");
    return false;
  }
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (bindAddress_.empty()) {
    address.sin_addr.s_addr = htonl(INADDR_ANY);
  } else if (inet_pton(AF_INET, bindAddress_.c_str(), &address.sin_addr) != 1) {
    *failure = Failure(EINVAL, "bind");
    close(fd);
    return false;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    *failure = Failure(errno, "bind");
    close(fd);
    return false;
  }
  // Between bind and listen, as the listener component reports it.
  if (events_) events_->OnListenerBound();
  // The longest queue the system allows (the kernel cuts the number to net.core.somaxconn): a
  // cockpit's panels all connect at the same moment when it starts or the server restarts, and
  // a short queue makes the ones past it wait for the client's retry, a second or more.
  if (listen(fd, INT_MAX) != 0) {
    *failure = Failure(errno, "listen");
    close(fd);
    return false;
  }
  listener_ = fd;
  return true;
}

void PollLoop::StopListening() {
  std::vector<int> open;
  for (auto& [fd, watch] : connections_) open.push_back(fd);
  for (int fd : open) Close(fd);
  if (listener_ >= 0) close(listener_);
  listener_ = -1;
}

// The address a panel on another machine would use: the first IPv4 address of an interface that
// is up and not the loopback. The host name's address is often a loopback one on Linux
// (127.0.1.1), which helps nobody on the network; loopback only when there is nothing else.
std::string PollLoop::LocalAddress() {
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return {};
  std::string first, loopback;
  for (const ifaddrs* i = interfaces; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP)) continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr, text, sizeof text);
    if (i->ifa_flags & IFF_LOOPBACK) {
      if (loopback.empty()) loopback = text;
    } else if (first.empty()) {
      first = text;
    }
  }
  freeifaddrs(interfaces);
  return first.empty() ? loopback : first;
}

SendResult PollLoop::Send(ConnectionId connection, const char* data, size_t size) {
  SendResult result;
  ssize_t n = send(static_cast<int>(connection), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (n >= 0) {
    result.accepted = static_cast<size_t>(n);
    result.wouldBlock = result.accepted < size;
  } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
    result.wouldBlock = true;
  } else {
    result.failed = true;
    result.failure = Failure(errno, "send");
  }
  return result;
}

void PollLoop::WatchWritable(ConnectionId connection, bool watch) {
  auto it = connections_.find(static_cast<int>(connection));
  if (it != connections_.end()) it->second = watch;
}

void PollLoop::Close(ConnectionId connection) {
  auto it = connections_.find(static_cast<int>(connection));
  if (it == connections_.end()) return;
  close(it->first);
  connections_.erase(it);
  if (events_) events_->OnClosed(connection);
}

void PollLoop::Accept() {
  while (listener_ >= 0) {  // a handler may stop listening
    int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      acceptFailureLogged_ = false;
      connections_[fd] = false;
      if (events_) events_->OnAccepted(fd);
      continue;
    }
    const int error = errno;
    if (error == EINTR || error == ECONNABORTED || error == EPROTO) continue;  // that one left
    if (error == EAGAIN || error == EWOULDBLOCK) return;                      // nothing waiting
    // Out of descriptors or memory, mostly (EMFILE, ENFILE, ENOBUFS): trying again at once
    // would fail again and spin. The clients wait in the listen queue meanwhile; connected ones
    // go on being served.
    acceptPausedUntil_ = Clock::now() + std::chrono::milliseconds(kAcceptPauseMs);
    if (!acceptFailureLogged_ && events_) events_->OnListenerFailed(Failure(error, "accept"));
    acceptFailureLogged_ = true;
    return;
  }
}

void PollLoop::Receive(int fd) {
  // Every byte waiting now is one request: the protocol has no framing of its own.
  int waiting = 0;
  if (ioctl(fd, FIONREAD, &waiting) != 0 || waiting < 1) waiting = 1;
  std::string received(static_cast<size_t>(waiting), '\0');
  ssize_t n = recv(fd, received.data(), received.size(), MSG_DONTWAIT);
  if (n > 0) {
    received.resize(static_cast<size_t>(n));
    if (events_) events_->OnReceived(fd, received);
  } else if (n == 0) {
    Close(fd);
  } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    if (events_) events_->OnFailed(fd, Failure(errno, "recv"));
  }
}

void PollLoop::Run() {
  while (PollOnce(-1)) {
  }
}

bool PollLoop::PollOnce(int maxWaitMs) {
  // A quit asked for before this wait (even before the pipe existed) ends the loop at once.
  if (gQuitRequested.load() && !TakeSignals()) return false;

  std::vector<pollfd> fds;
  fds.push_back({gSignalPipe[0], POLLIN, 0});
  int timeout = maxWaitMs;
  const auto shorten = [&timeout](Clock::time_point until) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    const int due = left.count() > 0 ? static_cast<int>(left.count()) + 1 : 0;
    if (timeout < 0 || due < timeout) timeout = due;
  };
  if (listener_ >= 0) {
    if (Clock::now() >= acceptPausedUntil_) {
      fds.push_back({listener_, POLLIN, 0});
    } else {
      shorten(acceptPausedUntil_);
    }
  }
  for (auto& [fd, watch] : connections_)
    fds.push_back({fd, static_cast<short>(POLLIN | (watch ? POLLOUT : 0)), 0});
  if (timerRunning_) shorten(nextTick_);

  int ready = poll(fds.data(), fds.size(), timeout);
  if (ready < 0 && errno != EINTR) return false;

  if (timerRunning_ && Clock::now() >= nextTick_) {
    nextTick_ = Clock::now() + interval_;
    if (events_) events_->OnTimer();
  }
  if (ready <= 0) return true;

  bool quit = false;
  for (const pollfd& p : fds) {
    if (!p.revents) continue;
    if (p.fd == gSignalPipe[0]) {
      quit = !TakeSignals();
    } else if (p.fd == listener_) {
      Accept();
    } else if (connections_.count(p.fd)) {
      // A handler may have closed this connection, or another, since poll() answered.
      if (p.revents & (POLLIN | POLLHUP | POLLERR)) Receive(p.fd);
      if (connections_.count(p.fd) && (p.revents & POLLOUT) && events_) events_->OnWritable(p.fd);
    }
  }
  return !quit;
}

}  // namespace tavelor
