// The stand-in simulator on Linux: a Unix-domain socket named after its window class takes the
// link's messages (window_server.h), and a TCP control channel on 127.0.0.1 takes test commands
// (control_server.h). One thread runs both with one poll() (poll_loop.h); in-process
// (`tavelor-server --sim`) that thread is the simulator's own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
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
  const std::string& WindowClass() const;

  // One exchange handed over by a link in this same process (`tavelor-server --sim`): the
  // block is worked by the same service as a message through the socket, locked against this
  // simulator's own thread, but without the two thread wake-ups of a round trip through the
  // kernel. Unanswered: a `hang` holds it (the link times out as it would); gone: the
  // simulator has quit or stopped.
  enum class Answer { kAnswered, kUnanswered, kGone };
  Answer ExchangeInProcess(uint8_t* block, size_t size, uint32_t* result);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  int controlPort_ = 0;
};

}  // namespace tavelor::sim
