// End-to-end plumbing: real tavelor-server and tavelor-sim processes on loopback ports, a
// private IPC folder per test, a TCP client and the simulator's control channel. Every wait
// is bounded.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tavelor::e2e {

using std::chrono::milliseconds;

// A port that was free a moment ago on 127.0.0.1.
int FreePort();

// A child process whose standard output is collected line by line.
class Process {
 public:
  Process() = default;
  ~Process();  // kills and reaps
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void Start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  bool Running();
  // Waits for a line containing `text`, at most `timeout`; false on time-out or exit.
  bool WaitForLine(const std::string& text, milliseconds timeout = milliseconds(10000));
  // Waits until `count` lines containing `text` have been seen.
  bool WaitForCount(const std::string& text, int count, milliseconds timeout = milliseconds(10000));
  // Counts lines containing `text` seen so far.
  int CountLines(const std::string& text);
  std::vector<std::string> Lines();
  void Signal(int signal);
  // Waits for the exit, at most `timeout`; returns the exit status, or -1.
  int Wait(milliseconds timeout = milliseconds(10000));
  pid_t Pid() const { return pid_; }

 private:
  void Pump(int timeoutMs);
  pid_t pid_ = -1;
  int out_ = -1;
  std::string partial_;
  std::vector<std::string> lines_;
  int status_ = -1;
};

class Client {
 public:
  Client() = default;
  ~Client();
  Client(Client&& other) noexcept;
  Client(const Client&) = delete;
  bool Connect(int port, milliseconds timeout = milliseconds(5000));
  void Send(const std::string& bytes);
  // Reads until the text ends with CR LF, at most `timeout`.
  std::string ReadLine(milliseconds timeout = milliseconds(10000));
  // Reads whatever arrives within `wait` (used to check that nothing is answered).
  std::string ReadFor(milliseconds wait);
  // Sends a request and reads its one-line answer.
  std::string Ask(const std::string& request) {
    Send(request);
    return ReadLine();
  }
  void Close();
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
};

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
