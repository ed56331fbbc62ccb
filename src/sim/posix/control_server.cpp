#include "sim/posix/control_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/sim_service.h"

namespace tavelor::sim {

bool ControlServer::Open(int port, std::string* error) {
  if (port < 0 || port > 65535) {
    *error = "bad control port " + std::to_string(port);
    return false;
  }
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    *error = "cannot create the control socket: " + std::string(std::strerror(errno));
    return false;
  }
  const int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t len = sizeof addr;
  if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listenFd_, 8) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  port_ = ntohs(addr.sin_port);
  return true;
}

void ControlServer::CloseAll() {
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
  for (int fd : clients_) Close(fd);
  clients_.clear();
}

void ControlServer::Watch(PollList& fds, bool acceptResting) {
  listenerAt_ = fds.Add(acceptResting ? -1 : listenFd_, POLLIN);
  firstClientAt_ = listenerAt_ + 1;
  for (int fd : clients_) {
    short events = 0;
    if (service_.WantsInput(fd)) events |= POLLIN;
    if (!service_.ControlOutput(fd).empty()) events |= POLLOUT;
    fds.Add(fd, events);
  }
}

bool ControlServer::Serve(const PollList& fds, PollClock::time_point now) {
  bool quit = false;
  std::vector<int> kept;
  for (size_t i = 0; i < clients_.size(); ++i) {
    const int fd = clients_[i];
    const short revents = fds.Ready(firstClientAt_ + i);
    bool keep = true;
    if (!quit && (revents & (POLLIN | POLLHUP | POLLERR)) && service_.WantsInput(fd)) {
      keep = Read(fd, &quit);
    }
    if (keep && (revents & (POLLOUT | POLLERR | POLLHUP))) keep = Flush(fd);
    if (keep && !quit && service_.ControlDone(fd, now)) keep = false;
    if (keep) {
      kept.push_back(fd);
    } else {
      Close(fd);
    }
  }
  clients_ = std::move(kept);
  return quit;
}

void ControlServer::Accept(const PollList& fds) {
  if (!fds.Ready(listenerAt_)) return;
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (rest_.KeepAccepting(errno)) continue;
      return;
    }
    std::optional<ControlId> evicted;
    if (!service_.AcceptControl(fd, &evicted)) {
      ::close(fd);
      continue;
    }
    if (evicted) {
      ::close(static_cast<int>(*evicted));  // its slot is the newcomer's; the service forgot it
      std::erase(clients_, static_cast<int>(*evicted));
    }
    clients_.push_back(fd);
  }
}

bool ControlServer::Read(int fd, bool* quit) {
  char buf[65536];
  const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  *quit = service_.ReceiveControl(fd, buf, static_cast<size_t>(n), n == 0);
  return true;
}

bool ControlServer::Flush(int fd) {
  std::string& out = service_.ControlOutput(fd);
  while (!out.empty()) {
    const ssize_t n = ::send(fd, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    out.erase(0, static_cast<size_t>(n));
  }
  return true;
}

void ControlServer::Close(int fd) {
  service_.CloseControl(fd);
  ::close(fd);
}

void ControlServer::FlushForQuit() {
  const auto until = PollClock::now() + SimService::kFlushTimeout;
  for (int fd : clients_) {
    while (Flush(fd) && !service_.ControlOutput(fd).empty()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - PollClock::now());
      if (left.count() <= 0) break;
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    }
  }
}

}  // namespace tavelor::sim
