// End-to-end plumbing: real tavelor-server and tavelor-sim processes on loopback ports, a
// private IPC folder per test and the simulator's control channel. Every wait is bounded.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "support/process.h"

namespace tavelor::e2e {

using std::chrono::milliseconds;

using testing::Client;
using testing::FreePort;
using testing::Process;

class SimControl {
 public:
  bool Connect(int port, milliseconds timeout = milliseconds(5000)) {
    return client_.Connect(port, timeout);
  }
  // One command, one answer line (without its line end).
  std::string Command(const std::string& line);
  // `journal`: the record lines since the last call.
  std::vector<std::string> Journal();
  void Disconnect() {
    client_.Close();
    buffered_.clear();
  }

 private:
  std::string ReadOneLine();
  Client client_;
  std::string buffered_;
};

// A private IPC folder for one test, removed afterwards.
class IpcFolder {
 public:
  IpcFolder();
  ~IpcFolder();
  const std::string& Path() const { return path_; }
  std::string Env() const { return "TAVELOR_IPC_DIR=" + path_; }

 private:
  std::string path_;
};

// The usual arrangement: a stand-in simulator and a server on free loopback ports.
struct Stack {
  IpcFolder ipc;
  int serverPort = FreePort();
  int controlPort = FreePort();
  Process sim;
  Process server;
  SimControl control;

  void StartSim(const std::vector<std::string>& extra = {});
  void StartServer(const std::vector<std::string>& extra = {});
  // Sim, then server, then waits for the listener and connects the control channel.
  void StartBoth();
  Client Connect();
};

}  // namespace tavelor::e2e
