#include "server/posix/epoll_loop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "server/request_reader.h"

namespace tavelor {

namespace {

constexpr int kEventsPerWait = 256;

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

class Socket : public RequestSocket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  size_t Waiting() override {
    int waiting = 0;
    return ioctl(fd_, FIONREAD, &waiting) == 0 && waiting > 0 ? static_cast<size_t>(waiting) : 0;
  }
  Got Receive(char* into, size_t size, size_t* received, SocketFailure* failure) override {
    const ssize_t n = recv(fd_, into, size, MSG_DONTWAIT);
    if (n > 0) {
      *received = static_cast<size_t>(n);
      return Got::kBytes;
    }
    if (n == 0) return Got::kEnd;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return Got::kWouldBlock;
    *failure = Failure(errno, "recv");
    return Got::kFailed;
  }

 private:
  int fd_;
};

}  // namespace

bool EpollLoop::InstallSignalPipe() {
  if (gSignalPipe[0] >= 0) return true;
  return pipe2(gSignalPipe, O_NONBLOCK | O_CLOEXEC) == 0;
}

void EpollLoop::RequestQuit() {
  gQuitRequested.store(true);
  Wake();
}

void EpollLoop::RequestDebugToggle() {
  gDebugToggles.fetch_add(1);
  Wake();
}

bool EpollLoop::TakeSignals() {
  char drain[256];
  while (gSignalPipe[0] >= 0 && read(gSignalPipe[0], drain, sizeof drain) > 0) {
  }
  // Read after the drain: a request whose byte was drained is seen here, and one that comes
  // later writes a new byte.
  if (gDebugToggles.exchange(0) % 2 == 1 && debugToggle_) debugToggle_();
  return !gQuitRequested.exchange(false);
}

EpollLoop::EpollLoop(std::string bindAddress, NowFunction now)
    : bindAddress_(std::move(bindAddress)), now_(now), acceptBackoff_(now) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
}

void EpollLoop::WatchSignalPipe() {
  if (pipeWatched_ || gSignalPipe[0] < 0) return;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = gSignalPipe[0];
  pipeWatched_ = epoll_ctl(epoll_, EPOLL_CTL_ADD, gSignalPipe[0], &event) == 0;
}

EpollLoop::~EpollLoop() {
  for (auto& [fd, watched] : connections_) close(fd);
  if (listener_ >= 0) close(listener_);
  if (epoll_ >= 0) close(epoll_);
}

bool EpollLoop::Listen(uint16_t port, SocketFailure* failure) {
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
  WatchListener(true);
  return true;
}

void EpollLoop::WatchListener(bool on) {
  if (listener_ < 0 || on == listenerWatched_) return;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = listener_;
  epoll_ctl(epoll_, on ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, listener_, &event);
  listenerWatched_ = on;
}

void EpollLoop::StopListening() {
  std::vector<int> open;
  for (auto& [fd, watched] : connections_) open.push_back(fd);
  for (int fd : open) Close(fd);
  WatchListener(false);
  if (listener_ >= 0) close(listener_);
  listener_ = -1;
}

// The address a panel on another machine would use: the first IPv4 address of an interface that
// is up and not the loopback. The host name's address is often a loopback one on Linux
// (127.0.1.1), which helps nobody on the network; loopback only when there is nothing else.
std::string EpollLoop::LocalAddress() {
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

SendResult EpollLoop::Send(ConnectionId connection, const char* data, size_t size) {
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

void EpollLoop::Rewatch(int fd, const Watched& watched) {
  epoll_event event{};
  event.events = (watched.inputEnded ? 0u : EPOLLIN) | (watched.writable ? EPOLLOUT : 0u);
  event.data.fd = fd;
  epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event);
}

void EpollLoop::WatchWritable(ConnectionId connection, bool watch) {
  auto it = connections_.find(static_cast<int>(connection));
  if (it == connections_.end() || it->second.writable == watch) return;
  it->second.writable = watch;
  Rewatch(it->first, it->second);
}

void EpollLoop::Close(ConnectionId connection) {
  auto it = connections_.find(static_cast<int>(connection));
  if (it == connections_.end()) return;
  close(it->first);  // also takes it out of the set
  connections_.erase(it);
  if (events_) events_->OnClosed(connection);
}

void EpollLoop::Accept() {
  while (listener_ >= 0) {  // a handler may stop listening
    ++acceptCalls_;
    int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      acceptBackoff_.Succeeded();
      epoll_event event{};
      event.events = EPOLLIN;
      event.data.fd = fd;
      if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0) {
        close(fd);  // no memory for one more: the client sees its connection closed
        continue;
      }
      connections_[fd] = Watched{};
      if (events_) events_->OnAccepted(fd);
      continue;
    }
    const int error = errno;
    if (error == EINTR || error == ECONNABORTED || error == EPROTO) continue;  // that one left
    if (error == EAGAIN || error == EWOULDBLOCK) return;                      // nothing waiting
    // Out of descriptors or memory, mostly (EMFILE, ENFILE, ENOBUFS).
    WatchListener(false);
    if (acceptBackoff_.Failed() && events_) events_->OnListenerFailed(Failure(error, "accept"));
    return;
  }
}

void EpollLoop::Receive(int fd) {
  Socket socket(fd);
  if (ReadRequest(socket, static_cast<ConnectionId>(fd), events_) != RequestSocket::Got::kEnd)
    return;
  // Level-triggered, an ended input would be reported on every wait: stop reading it. The
  // connections may have closed it already.
  auto it = connections_.find(fd);
  if (it == connections_.end() || it->second.inputEnded) return;
  it->second.inputEnded = true;
  Rewatch(fd, it->second);
}

void EpollLoop::Handle(int fd, uint32_t ready) {
  if (fd == gSignalPipe[0]) return;  // taken after the other events
  // A handler may have closed this connection since the wait answered; its number may even be
  // in use again by one accepted since, which then just finds nothing to read.
  auto it = connections_.find(fd);
  if (it == connections_.end()) return;
  if (!it->second.inputEnded && (ready & (EPOLLIN | EPOLLHUP | EPOLLERR))) Receive(fd);
  it = connections_.find(fd);
  if (it == connections_.end()) return;
  if ((ready & (EPOLLOUT | EPOLLHUP | EPOLLERR)) && it->second.writable && events_)
    events_->OnWritable(fd);
  it = connections_.find(fd);
  // Broken with nothing left to read or send: its error would be reported on every wait.
  if (it != connections_.end() && it->second.inputEnded && (ready & (EPOLLHUP | EPOLLERR))) Close(fd);
}

void EpollLoop::Fire(Timer& timer, void (LoopEvents::*event)()) {
  if (!timer.running || now_() < timer.next) return;
  timer.next = now_() + timer.interval;
  if (events_) (events_->*event)();
}

int EpollLoop::WaitMs(int maxWaitMs) const {
  int wait = maxWaitMs;
  const auto shorten = [&](SteadyClock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now_());
    const int due = left.count() > 0 ? static_cast<int>(std::min<long long>(left.count(), INT_MAX - 1)) + 1 : 0;
    if (wait < 0 || due < wait) wait = due;
  };
  if (timer_.running) shorten(timer_.next);
  if (idleCheck_.running) shorten(idleCheck_.next);
  if (listener_ >= 0 && !listenerWatched_) shorten(acceptBackoff_.RestingUntil());
  return wait;
}

void EpollLoop::Run() {
  while (PollOnce(-1)) {
  }
}

bool EpollLoop::PollOnce(int maxWaitMs) {
  // A quit asked for before this wait (even before the pipe existed) ends the loop at once.
  if (gQuitRequested.load() && !TakeSignals()) return false;
  if (epoll_ < 0) return false;
  WatchSignalPipe();  // the pipe may have been made after the loop
  if (listener_ >= 0 && !listenerWatched_ && !acceptBackoff_.Resting()) WatchListener(true);

  epoll_event ready[kEventsPerWait];
  const int count = epoll_wait(epoll_, ready, kEventsPerWait, WaitMs(maxWaitMs));
  if (count < 0 && errno != EINTR) return false;

  Fire(timer_, &LoopEvents::OnTimer);
  Fire(idleCheck_, &LoopEvents::OnIdleCheck);
  // The listener's turn comes after its connections': a client that left in this wait frees
  // its slot for one that arrived in it. (A listener reported once stays at the head of the
  // ready list, ahead of closes that came later.)
  bool signalled = false;
  bool accepting = false;
  for (int i = 0; i < count; ++i) {
    signalled = signalled || ready[i].data.fd == gSignalPipe[0];
    if (ready[i].data.fd == listener_) {
      accepting = true;
    } else {
      Handle(ready[i].data.fd, ready[i].events);
    }
  }
  if (accepting) Accept();
  return !signalled || TakeSignals();
}

}  // namespace tavelor
