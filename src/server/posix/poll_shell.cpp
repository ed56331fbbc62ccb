#include "server/posix/poll_shell.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "server/socket_errors.h"

namespace tavelor {

namespace {

int gSignalPipe[2] = {-1, -1};

std::string SystemText(int error) { return std::strerror(error); }

void WakeWith(char what) {
  if (gSignalPipe[1] >= 0) {
    ssize_t ignored = write(gSignalPipe[1], &what, 1);
    (void)ignored;
  }
}

}  // namespace

bool PollShell::InstallSignalPipe() {
  if (gSignalPipe[0] >= 0) return true;
  return pipe2(gSignalPipe, O_NONBLOCK | O_CLOEXEC) == 0;
}

void PollShell::RequestQuit() { WakeWith('q'); }
void PollShell::RequestDebugToggle() { WakeWith('d'); }

PollShell::~PollShell() {
  for (auto& [fd, watch] : clients_) close(fd);
  if (listener_ >= 0) close(listener_);
}

void PollShell::SetDebugCaption(const std::string& caption) { LogLine("- " + caption); }

void PollShell::StartConnectTimer() {
  timerRunning_ = true;
  nextTick_ = Clock::now() + std::chrono::milliseconds(kConnectIntervalMs);
}

bool PollShell::ActivateListener(uint16_t port, std::string* error) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = SocketErrorText(SystemText(errno), errno, "socket");
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
    *error = SocketErrorText(SystemText(EINVAL), EINVAL, "bind");
    close(fd);
    return false;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    *error = SocketErrorText(SystemText(errno), errno, "bind");
    close(fd);
    return false;
  }
  // Between bind and listen, as the listener component reports it.
  main_->ServerSocket1Listen();
  if (listen(fd, 5) != 0) {
    *error = SocketErrorText(SystemText(errno), errno, "listen");
    close(fd);
    return false;
  }
  listener_ = fd;
  return true;
}

void PollShell::DeactivateListener() {
  std::vector<int> open;
  for (auto& [fd, watch] : clients_) open.push_back(fd);
  for (int fd : open) CloseClient(fd);
  if (listener_ >= 0) close(listener_);
  listener_ = -1;
}

std::string PollShell::LocalAddress() {
  char host[65] = {};
  if (gethostname(host, 64) != 0) return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return {};
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
  freeaddrinfo(found);
  return text;
}

SendResult PollShell::Send(ClientId client, const char* data, size_t size) {
  SendResult result;
  ssize_t n = send(static_cast<int>(client), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (n >= 0) {
    result.accepted = static_cast<size_t>(n);
    result.wouldBlock = result.accepted < size;
  } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
    result.wouldBlock = true;
  } else {
    result.error = errno;
    result.errorText = SystemText(errno);
  }
  return result;
}

void PollShell::WatchWritable(ClientId client, bool watch) {
  auto it = clients_.find(static_cast<int>(client));
  if (it != clients_.end()) it->second = watch;
}

void PollShell::CloseClient(ClientId client) {
  auto it = clients_.find(static_cast<int>(client));
  if (it == clients_.end()) return;
  close(it->first);
  clients_.erase(it);
  main_->ServerSocket1ClientDisconnect(client);
}

void PollShell::Accept() {
  while (true) {
    int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;  // nothing more waiting, or the client left before we got to it
    clients_[fd] = false;
    main_->ServerSocket1ClientConnect(fd);
  }
}

void PollShell::Receive(int fd) {
  // Every byte waiting now is one request: the protocol has no framing of its own.
  int waiting = 0;
  if (ioctl(fd, FIONREAD, &waiting) != 0 || waiting < 1) waiting = 1;
  std::string received(static_cast<size_t>(waiting), '\0');
  ssize_t n = recv(fd, received.data(), received.size(), MSG_DONTWAIT);
  if (n > 0) {
    received.resize(static_cast<size_t>(n));
    main_->ServerSocket1ClientRead(fd, received);
  } else if (n == 0) {
    CloseClient(fd);
  } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    main_->ServerSocket1ClientError(fd, SocketErrorText(SystemText(errno), errno, "recv"));
  }
}

void PollShell::Run() {
  bool quit = false;
  while (!quit) {
    std::vector<pollfd> fds;
    fds.push_back({gSignalPipe[0], POLLIN, 0});
    if (listener_ >= 0) fds.push_back({listener_, POLLIN, 0});
    for (auto& [fd, watch] : clients_)
      fds.push_back({fd, static_cast<short>(POLLIN | (watch ? POLLOUT : 0)), 0});

    int timeout = -1;
    if (timerRunning_) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick_ - Clock::now());
      timeout = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    int ready = poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno != EINTR) break;

    if (timerRunning_ && Clock::now() >= nextTick_) {
      nextTick_ = Clock::now() + std::chrono::milliseconds(kConnectIntervalMs);
      main_->Timer1Timer();
    }
    if (ready <= 0) continue;

    for (const pollfd& p : fds) {
      if (!p.revents) continue;
      if (p.fd == gSignalPipe[0]) {
        char what;
        while (read(p.fd, &what, 1) == 1) {
          if (what == 'q') quit = true;
          if (what == 'd') main_->BitBtn1Click();
        }
      } else if (p.fd == listener_) {
        Accept();
      } else if (clients_.count(p.fd)) {
        // A handler may have closed this client, or another, since poll() answered.
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) Receive(p.fd);
        if (clients_.count(p.fd) && (p.revents & POLLOUT)) main_->ServerSocket1ClientWrite(p.fd);
      }
    }
  }
  main_->FormClose();
}

}  // namespace tavelor
