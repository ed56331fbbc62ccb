// The stand-in's window on Linux, the side the link talks to: its socket file, the links'
// connections to it (each kept open across exchanges), the blocks each link handed over, and
// one answer per message, worked by the service.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/posix/poll_loop.h"
#include "sim/posix/socket_file.h"

namespace tavelor::sim {

class SimService;

class WindowServer {
 public:
  static constexpr size_t kMaxConnections = 64;

  WindowServer(SimService& service, AcceptRest& rest);
  ~WindowServer();
  WindowServer(const WindowServer&) = delete;
  WindowServer& operator=(const WindowServer&) = delete;

  // The socket of window class `windowClass` in the private IPC folder. False with a reason.
  bool Open(const std::string& windowClass, std::string* error);
  bool Listening() const { return socket_.Fd() >= 0; }
  // The window goes: no link finds it any more. Connected links stay until CloseAll().
  void CloseListener() { socket_.Close(); }
  void CloseAll();

  // The listener (unless resting) and every connection, into this pass's list.
  void Watch(PollList& fds, bool acceptResting);
  // Reads the messages that arrived and answers them; closes the connections that are done.
  void Serve(const PollList& fds);
  // Takes the links that are waiting, when the listener was ready.
  void Accept(const PollList& fds);

 private:
  struct Connection;  // a link's socket and the blocks it handed over
  bool Read(Connection& c);  // false when the connection is done

  SimService& service_;
  AcceptRest& rest_;
  const uint32_t message_;
  SocketFile socket_;
  std::vector<Connection> connections_;
  size_t listenerAt_ = 0;
  size_t firstConnectionAt_ = 0;
};

}  // namespace tavelor::sim
