// The stand-in simulator on Linux: a Unix-domain socket named after its window class takes the
// link's messages (window_server.h), and a TCP control channel on 127.0.0.1 takes test commands
// (control_server.h). One thread runs both with one poll() (poll_loop.h); in-process
// (`tavelor-server --sim`) that thread is the simulator's own.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "sim/sim_options.h"
#include "sim/sim_peer.h"

namespace tavelor::sim {

using SimServerOptions = SimOptions;

class SimServer {
 public:
  explicit SimServer(const SimServerOptions& options);
  ~SimServer();  // stops and joins, removes the socket

  // Creates the window socket and the control listener. False with a reason in *error.
  bool Open(std::string* error);
  // Serves until `quit` or Stop(). Run() on the calling thread, or Start() on a new one.
  void Run();
  void Start();
  void Stop();
  bool Running() const { return running_; }
  int ControlPort() const { return controlPort_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  int controlPort_ = 0;
};

}  // namespace tavelor::sim
