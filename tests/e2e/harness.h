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
using testing::SimControl;

// "7 W 07FC 4 00000000" -> 7 and "W 07FC 4 00000000"
long ExchangeOf(const std::string& line);
std::string RecordOf(const std::string& line);

// A version query answered with its version and nothing before it: what was sent earlier on
// this connection has been handled and answered nothing (commands, and requests that failed).
bool AnsweredNothingBefore(Client& client);

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
  // The server looks for the simulator at once, not after the first second.
  void StartServer(const std::vector<std::string>& extra = {});
  // Sim, then server (with `serverExtra`), then waits for the listener.
  void StartBoth(const std::vector<std::string>& serverExtra = {});
  Client Connect();
};

}  // namespace tavelor::e2e
