// The yardstick: a server that does nothing but answer every read with a fixed number of bytes,
// over the same loopback, with one thread and an event loop as the real server has. The
// benchmark divides the server's latencies by this one's, so the ratio means the same on a
// fast machine and a slow one.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace tavelor::bench {

class EchoServer {
 public:
  // Forks a child that listens on a free loopback port and answers every read with
  // `replyBytes` bytes ending in CR LF; pinned to `cpu` when it is not negative.
  EchoServer(size_t replyBytes, int cpu);
  ~EchoServer();  // ends the child
  EchoServer(const EchoServer&) = delete;
  EchoServer& operator=(const EchoServer&) = delete;

  bool Running() const { return pid_ > 0; }
  int Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// Pins the calling process (and what it starts later) to one processor; false when it cannot.
bool PinTo(int cpu);

}  // namespace tavelor::bench
