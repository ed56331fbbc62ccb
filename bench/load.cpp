#include "bench/load.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace tavelor::bench {

namespace {

constexpr auto kWarmUp = std::chrono::milliseconds(200);
constexpr auto kSpin = std::chrono::microseconds(200);

double MicrosBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::micro>(to - from).count();
}

int NewSocket() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

// Starts a non-blocking connect; the socket, or -1.
int StartConnect(int port) {
  const int fd = NewSocket();
  if (fd < 0) return -1;
  const sockaddr_in address = Loopback(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A connected socket within 5 s, or -1.
int ConnectNow(int port) {
  const int fd = StartConnect(port);
  if (fd < 0) return -1;
  pollfd p{fd, POLLOUT, 0};
  int error = 0;
  socklen_t length = sizeof error;
  if (::poll(&p, 1, 5000) != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ||
      error != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const std::string& bytes) {
  return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
         static_cast<ssize_t>(bytes.size());
}

struct Connection {
  int fd = -1;
  size_t got = 0;
  bool waiting = false;
  Clock::time_point since{};    // when the request went out (closed) or was due (open)
  Clock::time_point nextDue{};  // open loop only
};

// Reads what is there; true once the whole answer is in (the count is then reset). A closed
// connection or error sets *failed.
bool ReadAnswer(Connection& c, size_t replyBytes, bool* failed) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      c.got += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n < 0 && errno == EINTR) continue;
    *failed = true;
    return false;
  }
  if (c.got < replyBytes) return false;
  c.got = 0;
  return true;
}

class Epoll {
 public:
  Epoll() : fd_(::epoll_create1(EPOLL_CLOEXEC)) {}
  ~Epoll() { ::close(fd_); }
  void Add(int fd, uint32_t events, uint64_t tag) {
    epoll_event e{};
    e.events = events;
    e.data.u64 = tag;
    ::epoll_ctl(fd_, EPOLL_CTL_ADD, fd, &e);
  }
  void Modify(int fd, uint32_t events, uint64_t tag) {
    epoll_event e{};
    e.events = events;
    e.data.u64 = tag;
    ::epoll_ctl(fd_, EPOLL_CTL_MOD, fd, &e);
  }
  // Waits until `until` at most, to the microsecond.
  int Wait(epoll_event* events, int max, Clock::time_point until) {
    const auto left = std::max(Clock::duration::zero(), until - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    const int n = ::epoll_pwait2(fd_, events, max, &timeout, nullptr);
    return n < 0 ? 0 : n;
  }

 private:
  int fd_;
};

void CloseAll(std::vector<Connection>& connections) {
  for (Connection& c : connections)
    if (c.fd >= 0) ::close(c.fd);
}

}  // namespace

Percentiles Summarize(std::vector<double> samples) {
  Percentiles p;
  if (samples.empty()) return p;
  std::sort(samples.begin(), samples.end());
  auto rank = [&](double q) {
    const size_t at = static_cast<size_t>(std::ceil(q * static_cast<double>(samples.size())));
    return samples[std::clamp<size_t>(at, 1, samples.size()) - 1];
  };
  p.p50 = rank(0.50);
  p.p99 = rank(0.99);
  p.p999 = rank(0.999);
  p.max = samples.back();
  return p;
}

std::string AskOnce(int port, const std::string& request, std::chrono::milliseconds timeout) {
  const int fd = ConnectNow(port);
  if (fd < 0) return {};
  std::string answer;
  if (SendAll(fd, request)) {
    const auto until = Clock::now() + timeout;
    // The answer is one line; stop at its end, or when nothing more comes for a while.
    while (answer.find("\r\n") == std::string::npos && Clock::now() < until) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) != 1) continue;
      char buffer[4096];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      answer.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return answer;
}

Result ClosedLoop(int port, const std::string& request, size_t replyBytes, int clients,
                  std::chrono::milliseconds duration, uint64_t maxRequests) {
  Result result;
  std::vector<Connection> connections(static_cast<size_t>(clients));
  Epoll epoll;
  for (size_t i = 0; i < connections.size(); ++i) {
    connections[i].fd = ConnectNow(port);
    if (connections[i].fd < 0) {
      ++result.failures;
      CloseAll(connections);
      return result;
    }
    epoll.Add(connections[i].fd, EPOLLIN, i);
  }
  if (maxRequests) result.latencyUs.reserve(maxRequests);
  const auto warmEnd = Clock::now() + kWarmUp;
  const auto end = warmEnd + duration;
  for (Connection& c : connections) {
    c.since = Clock::now();
    c.waiting = SendAll(c.fd, request);
  }
  std::vector<epoll_event> events(connections.size());
  bool measuring = false;
  Clock::time_point measuredFrom{};
  Clock::time_point now = Clock::now();
  while (now < end && result.failures == 0) {
    const int n = epoll.Wait(events.data(), static_cast<int>(events.size()), end);
    now = Clock::now();
    if (!measuring && now >= warmEnd) {
      measuring = true;
      measuredFrom = now;
    }
    for (int k = 0; k < n; ++k) {
      Connection& c = connections[events[k].data.u64];
      bool failed = false;
      if (!ReadAnswer(c, replyBytes, &failed)) {
        if (failed) ++result.failures;
        continue;
      }
      if (measuring && c.since >= measuredFrom) result.latencyUs.push_back(MicrosBetween(c.since, now));
      c.since = Clock::now();
      if (!SendAll(c.fd, request)) ++result.failures;
    }
    if (maxRequests && result.latencyUs.size() >= maxRequests) break;
  }
  result.seconds = measuring ? std::chrono::duration<double>(Clock::now() - measuredFrom).count() : 0;
  CloseAll(connections);
  return result;
}

Result OpenLoop(int port, const std::string& request, size_t replyBytes, int clients,
                double rateHz, std::chrono::milliseconds duration) {
  Result result;
  std::vector<Connection> connections(static_cast<size_t>(clients));
  Epoll epoll;
  for (size_t i = 0; i < connections.size(); ++i) {
    connections[i].fd = ConnectNow(port);
    if (connections[i].fd < 0) {
      ++result.failures;
      CloseAll(connections);
      return result;
    }
    epoll.Add(connections[i].fd, EPOLLIN, i);
  }
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rateHz));
  const auto start = Clock::now() + kWarmUp;
  const auto end = start + duration;
  for (size_t i = 0; i < connections.size(); ++i)
    connections[i].nextDue = start + period * static_cast<long>(i) / static_cast<long>(clients);

  std::vector<epoll_event> events(connections.size());
  Clock::time_point now = Clock::now();
  for (;;) {
    // Send what is due on every idle connection; a busy one sends as soon as its answer is in.
    Clock::time_point wake = end;
    bool anyWaiting = false;
    for (Connection& c : connections) {
      if (!c.waiting && c.nextDue <= now && c.nextDue < end) {
        c.since = c.nextDue;
        c.nextDue += period;
        if (SendAll(c.fd, request)) c.waiting = true;
        else ++result.failures;
      }
      if (!c.waiting && c.nextDue < end) wake = std::min(wake, c.nextDue);
      anyWaiting = anyWaiting || c.waiting;
    }
    if (now >= end && !anyWaiting) break;
    if (now >= end + std::chrono::seconds(5)) {  // answers that never came
      result.failures += static_cast<size_t>(std::count_if(
          connections.begin(), connections.end(), [](const Connection& c) { return c.waiting; }));
      break;
    }
    if (anyWaiting && wake <= now) wake = now + std::chrono::milliseconds(1);
    if (now >= end) wake = now + std::chrono::milliseconds(50);
    // Sleep until just before the next request is due and spin the rest, so the latency
    // counted from the due time does not include the load's own timer lateness.
    const auto early = wake - kSpin;
    const int n = epoll.Wait(events.data(), static_cast<int>(events.size()), early > now ? early : now);
    now = Clock::now();
    for (int k = 0; k < n; ++k) {
      Connection& c = connections[events[k].data.u64];
      bool failed = false;
      if (!ReadAnswer(c, replyBytes, &failed)) {
        if (failed) {
          ++result.failures;
          c.waiting = false;
          c.nextDue = end;
        }
        continue;
      }
      c.waiting = false;
      result.latencyUs.push_back(MicrosBetween(c.since, now));
    }
  }
  result.seconds = std::chrono::duration<double>(end - start).count();
  CloseAll(connections);
  return result;
}

Result ConnectStorm(int port, const std::string& request, size_t replyBytes, int clients,
                    std::chrono::milliseconds timeout) {
  Result result;
  std::vector<Connection> connections(static_cast<size_t>(clients));
  Epoll epoll;
  const auto start = Clock::now();
  for (size_t i = 0; i < connections.size(); ++i) {
    connections[i].fd = StartConnect(port);
    if (connections[i].fd < 0) {
      ++result.failures;
      continue;
    }
    epoll.Add(connections[i].fd, EPOLLOUT, i);
  }
  const auto until = start + timeout;
  size_t open = connections.size() - result.failures;
  std::vector<epoll_event> events(connections.size());
  while (open > 0 && Clock::now() < until) {
    const int n = epoll.Wait(events.data(), static_cast<int>(events.size()), until);
    const auto now = Clock::now();
    for (int k = 0; k < n; ++k) {
      const size_t i = events[k].data.u64;
      Connection& c = connections[i];
      if (c.fd < 0) continue;
      bool failed = false;
      if (!c.waiting) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &length);
        failed = error != 0 || !SendAll(c.fd, request);
        if (!failed) {
          c.waiting = true;
          epoll.Modify(c.fd, EPOLLIN, i);
          continue;
        }
      } else if (ReadAnswer(c, replyBytes, &failed)) {
        result.latencyUs.push_back(MicrosBetween(start, now));
      } else if (!failed) {
        continue;
      }
      if (failed) ++result.failures;
      ::close(c.fd);
      c.fd = -1;
      --open;
    }
  }
  result.failures += open;
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  CloseAll(connections);
  return result;
}

IdleConnections::IdleConnections(int port, int count) {
  constexpr int kBatch = 256;  // well inside any listen queue
  for (int started = 0; started < count;) {
    std::vector<pollfd> batch;
    for (; started < count && static_cast<int>(batch.size()) < kBatch; ++started) {
      const int fd = StartConnect(port);
      if (fd >= 0) batch.push_back({fd, POLLOUT, 0});
    }
    if (batch.empty()) return;  // out of descriptors or ports: keep what is open
    const auto until = Clock::now() + std::chrono::seconds(5);
    size_t done = 0;
    while (done < batch.size() && Clock::now() < until) {
      ::poll(batch.data(), batch.size(), 50);
      for (pollfd& p : batch) {
        if (p.fd < 0 || !p.revents) continue;
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(p.fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error == 0) fds_.push_back(p.fd);
        else ::close(p.fd);
        p.fd = -1;  // poll skips it from now on
        ++done;
      }
    }
    for (const pollfd& p : batch)
      if (p.fd >= 0) ::close(p.fd);
  }
}

IdleConnections::~IdleConnections() {
  for (int fd : fds_) ::close(fd);
}

bool RaiseOpenFilesLimit(uint64_t needed) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
  if (limit.rlim_cur >= needed) return true;
  rlimit raised{needed, std::max<rlim_t>(limit.rlim_max, needed)};
  if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) return true;  // allowed to raise the ceiling
  raised = {std::min<rlim_t>(limit.rlim_max, needed), limit.rlim_max};
  return ::setrlimit(RLIMIT_NOFILE, &raised) == 0 && raised.rlim_cur >= needed;
}

}  // namespace tavelor::bench
