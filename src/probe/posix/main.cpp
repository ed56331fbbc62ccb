// tavelor-probe on Linux: a TCP connection over BSD sockets around the portable probe.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "probe/probe_session.h"

namespace {

using tavelor::probe::ProbeLink;
using tavelor::probe::ProbePlatform;

class SocketLink : public ProbeLink {
 public:
  explicit SocketLink(int fd) : fd_(fd) {}
  ~SocketLink() override { close(fd_); }

  bool Send(const std::string& bytes) override {
    // One request, one write: the server reads whatever is waiting as one request.
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, 5000) > 0) continue;
        error_ = "the server takes no more bytes";
        return false;
      }
      if (n <= 0) return Failed();
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  Received Receive(int timeoutMs, std::string* into) override {
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return Received::kTimeout;
    if (ready < 0) {
      Failed();
      return Received::kFailed;
    }
    char buffer[4096];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n > 0) {
      into->append(buffer, static_cast<size_t>(n));
      return Received::kData;
    }
    if (n == 0) return Received::kClosed;
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return Received::kTimeout;
    if (errno == ECONNRESET) return Received::kClosed;
    Failed();
    return Received::kFailed;
  }

  std::string Error() const override { return error_; }

 private:
  bool Failed() {
    error_ = std::strerror(errno);
    return false;
  }
  int fd_;
  std::string error_;
};

// Waits for a non-blocking connect; 0 when connected, else the error number.
int FinishConnect(int fd, int timeoutMs) {
  pollfd p{fd, POLLOUT, 0};
  const int ready = poll(&p, 1, timeoutMs);
  if (ready == 0) return ETIMEDOUT;
  if (ready < 0) return errno;
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

class PosixPlatform : public ProbePlatform {
 public:
  Connection Connect(const std::string& host, int port, int timeoutMs) override {
    Connection connection;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
      connection.error = "cannot find the address '" + host + "': " + gai_strerror(lookup);
      return connection;
    }
    for (addrinfo* a = found; a && !connection.link; a = a->ai_next) {
      const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
      if (fd < 0) continue;
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      int error = connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
      if (error == EINPROGRESS) error = FinishConnect(fd, timeoutMs);
      if (error == 0) {
        connection.link = std::make_unique<SocketLink>(fd);
        continue;
      }
      close(fd);
      if (error == ECONNREFUSED) connection.refused = true;
      connection.error = error == ETIMEDOUT ? "no answer to the connection" : std::strerror(error);
    }
    freeaddrinfo(found);
    if (connection.link) connection.refused = false;
    return connection;
  }

  void Pause(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

  int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  bool OutputIsTerminal() override { return isatty(STDOUT_FILENO) == 1; }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  PosixPlatform platform;
  return tavelor::probe::RunProbe(args, platform, std::cout, std::cerr);
}
