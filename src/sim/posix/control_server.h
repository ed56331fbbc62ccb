// The stand-in's control channel on Linux: a TCP listener on 127.0.0.1 and its clients, each a
// line session of the service. The service decides what to read and when a client is done; this
// side moves the bytes.
#pragma once

#include <string>
#include <vector>

#include "sim/posix/poll_loop.h"

namespace tavelor::sim {

class SimService;

class ControlServer {
 public:
  ControlServer(SimService& service, AcceptRest& rest) : service_(service), rest_(rest) {}
  ~ControlServer() { CloseAll(); }
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Listens on 127.0.0.1:port (0: any free port). False with a reason in *error.
  bool Open(int port, std::string* error);
  bool Listening() const { return listenFd_ >= 0; }
  int Port() const { return port_; }
  void CloseAll();

  // The listener (unless resting) and every client, as each wants to read or write.
  void Watch(PollList& fds, bool acceptResting);
  // Reads, answers and closes the clients that are done. True once a command was `quit`:
  // nothing more is read then.
  bool Serve(const PollList& fds, PollClock::time_point now);
  // The answer to `quit` (and any other answers still pending) go out before the sockets close,
  // bounded in time so a client that stopped reading cannot hold the simulator.
  void FlushForQuit();
  void Accept(const PollList& fds);

 private:
  bool Read(int fd, bool* quit);  // false when the connection is done
  bool Flush(int fd);             // false when the connection failed
  void Close(int fd);

  SimService& service_;
  AcceptRest& rest_;
  int listenFd_ = -1;
  int port_ = 0;
  std::vector<int> clients_;  // their sockets, also their ids in the service
  size_t listenerAt_ = 0;
  size_t firstClientAt_ = 0;
};

}  // namespace tavelor::sim
