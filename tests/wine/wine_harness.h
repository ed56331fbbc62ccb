// Plumbing of the Wine tests: the Windows programs run under `wine` in a private prefix with the
// null graphics driver (no display), and are checked from Linux over loopback and through
// win_inspect.exe. Every wait is bounded.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tavelor::wine {

using Ms = std::chrono::milliseconds;

// Sets WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES for this process and its children, and removes
// the display variables so nothing reaches for a screen.
void SetWineEnvironment(const std::string& prefix);
// `wine` can be started here.
bool WineInstalled();
// Creates the prefix with the null graphics driver when it does not exist yet (the slow first
// start), then starts a wineserver that outlives single tests. False with a reason in *why.
bool PreparePrefix(const std::string& prefix, std::string* why);
// Ends every Wine process of the prefix.
void StopWine();

struct RunResult {
  int exitCode = -1;  // -1 when it did not end in time (it is killed then)
  std::string out;    // standard output
};
// Runs to its end, at most `timeout`; standard input and error are /dev/null.
RunResult Run(const std::vector<std::string>& argv, Ms timeout);

// A long-running child whose standard output is collected line by line.
class Process {
 public:
  Process() = default;
  ~Process() { Kill(); }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // `env`: "NAME=value" settings added to this process's environment for the child.
  void Start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  bool Started() const { return pid_ > 0; }
  // Waits for a line starting with `prefix`; the whole line in *line.
  bool WaitForLine(const std::string& prefix, Ms timeout, std::string* line = nullptr);
  // Waits for the exit; its status code, or -1 on time-out.
  int WaitExit(Ms timeout);
  void Kill();

 private:
  void Pump(int waitMs);
  pid_t pid_ = -1;
  int out_ = -1;
  std::string partial_;
  std::vector<std::string> lines_;
  int status_ = -1;
};

class Client {
 public:
  Client() = default;
  ~Client() { Close(); }
  Client(Client&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Client& operator=(Client&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // Retries until the port accepts, at most `timeout`.
  bool Connect(int port, Ms timeout);
  bool Send(const std::string& bytes);
  // Reads until the text ends with `end`, at most `timeout`.
  std::string ReadUntil(const std::string& end, Ms timeout);
  // Whatever arrives within `wait`.
  std::string ReadFor(Ms wait);
  // True when the peer closes the connection within `timeout`.
  bool WaitClosedByPeer(Ms timeout);
  void Close();
  bool Connected() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// A listening socket on 127.0.0.1:port, to take a port away from a program.
class PortBlocker {
 public:
  explicit PortBlocker(int port);
  ~PortBlocker();
  bool Ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// True once nothing listens on 127.0.0.1:port any more, within `timeout`.
bool WaitPortFree(int port, Ms timeout);

// "key=value" lines -> map; repeated keys keep their last value.
std::map<std::string, std::string> KeyValues(const std::string& text);
// The log's text split at CR LF.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace tavelor::wine
