#include "bench/echo.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tavelor::bench {

namespace {

[[noreturn]] void Serve(int listener, size_t replyBytes) {
  std::string reply(replyBytes >= 2 ? replyBytes - 2 : 0, 'x');
  reply += std::string("\r\n").substr(0, replyBytes - reply.size());
  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  epoll_event e{};
  e.events = EPOLLIN;
  e.data.fd = listener;
  ::epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &e);
  epoll_event events[256];
  char buffer[4096];
  for (;;) {
    const int n = ::epoll_wait(epoll, events, 256, -1);
    for (int k = 0; k < n; ++k) {
      const int fd = events[k].data.fd;
      if (fd == listener) {
        for (;;) {
          const int client = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
          if (client < 0) break;
          epoll_event add{};
          add.events = EPOLLIN;
          add.data.fd = client;
          ::epoll_ctl(epoll, EPOLL_CTL_ADD, client, &add);
        }
        continue;
      }
      const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (got > 0) {
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        ::close(fd);  // also leaves the epoll set
      }
    }
  }
}

}  // namespace

bool PinTo(int cpu) {
  if (cpu < 0) return false;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  return ::sched_setaffinity(0, sizeof set, &set) == 0;
}

EchoServer::EchoServer(size_t replyBytes, int cpu) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listener < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, SOMAXCONN) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener);
    return;
  }
  port_ = ntohs(address.sin_port);
  pid_ = ::fork();
  if (pid_ == 0) {
    PinTo(cpu);
    Serve(listener, replyBytes);
  }
  ::close(listener);
}

EchoServer::~EchoServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

}  // namespace tavelor::bench
