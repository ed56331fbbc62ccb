// Child processes and loopback TCP clients for the tests that drive real programs: the Linux
// end-to-end tests and the Wine tests. Every wait is bounded.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tavelor::testing {

using std::chrono::milliseconds;

// Time bounds in tests are for catching hangs, not for measuring speed; under the sanitizers
// everything runs several times slower, so the bounds stretch by this factor.
#ifndef TAVELOR_TEST_SLOWDOWN
#define TAVELOR_TEST_SLOWDOWN 1
#endif
inline constexpr int kSlowdown = TAVELOR_TEST_SLOWDOWN;

// A port that was free a moment ago on 127.0.0.1.
int FreePort();

// A file's bytes as they are; empty when it cannot be read.
std::string FileBytes(const std::string& path);

// A child process whose standard output is collected line by line. Its standard input is
// /dev/null; its standard error is this process's own, or the file given to Start.
class Process {
 public:
  Process() = default;
  ~Process() { Kill(); }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Ends what an earlier Start left running. `argv[0]` is looked up in PATH unless it holds a
  // slash; `env`: "NAME=value" settings added for the child; `errorLog`: a file its standard
  // error is appended to.
  void Start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
             const std::string& errorLog = {});
  // Started and not seen to end yet.
  bool Running();
  // Waits for a line containing `text`, at most `timeout`; false on time-out or once the child
  // has ended without one. The whole line (without its line end) in *line.
  bool WaitForLine(const std::string& text, milliseconds timeout = milliseconds(10000),
                   std::string* line = nullptr);
  // Waits until `count` lines containing `text` have been seen.
  bool WaitForCount(const std::string& text, int count, milliseconds timeout = milliseconds(10000));
  // Counts lines containing `text` seen so far.
  int CountLines(const std::string& text);
  // The lines so far, without their line ends (LF or CR LF).
  std::vector<std::string> Lines();
  // Every byte read so far, as written.
  const std::string& Output() const { return output_; }
  void Signal(int signal);
  // Waits for the exit, at most `timeout`; the exit status (128 + signal when killed), or -1.
  int Wait(milliseconds timeout = milliseconds(10000));
  // SIGKILL and reap, when still running.
  void Kill();

 private:
  void Pump(int waitMs);
  pid_t pid_ = -1;
  int out_ = -1;
  int status_ = -1;
  std::string output_;
  std::string partial_;
  std::vector<std::string> lines_;
};

// A TCP connection to 127.0.0.1.
class Client {
 public:
  Client() = default;
  ~Client() { Close(); }
  Client(Client&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Client& operator=(Client&& other) noexcept;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // Retries until the port accepts, at most `timeout`.
  bool Connect(int port, milliseconds timeout = milliseconds(5000));
  // False when not everything could be sent within a few seconds.
  bool Send(const std::string& bytes);
  // Reads until the text ends with `end` (never, when `end` is empty), the peer closes or
  // `timeout` is up.
  std::string ReadUntil(const std::string& end, milliseconds timeout);
  std::string ReadLine(milliseconds timeout = milliseconds(10000)) { return ReadUntil("\r\n", timeout); }
  // Whatever arrives within `wait` (used to check that nothing is answered).
  std::string ReadFor(milliseconds wait) { return ReadUntil({}, wait); }
  // Sends a request and reads its one-line answer.
  std::string Ask(const std::string& request) {
    Send(request);
    return ReadLine();
  }
  // True when the peer closes the connection within `timeout`.
  bool WaitClosedByPeer(milliseconds timeout);
  void Close();

 private:
  int fd_ = -1;
};

// The stand-in simulator's control channel: one command line, one answer line.
class SimControl {
 public:
  bool Connect(int port, milliseconds timeout = milliseconds(10000)) {
    buffered_.clear();
    return client_.Connect(port, timeout);
  }
  // The answer without its line end; "ERR no answer" when none comes.
  std::string Command(const std::string& line);
  // Every line of the answer: for `journal` and `help` the "OK N" and the N lines after it.
  std::vector<std::string> Answer(const std::string& line);
  // `journal`: the record lines since the last call.
  std::vector<std::string> Journal();
  // Journal lines until `count` have come or the time is up: a request reaches the simulator
  // after the client's send returns, so its records may need a moment.
  std::vector<std::string> JournalOf(size_t count, milliseconds timeout = milliseconds(10000));
  void Disconnect() {
    client_.Close();
    buffered_.clear();
  }

 private:
  std::string ReadOneLine();
  Client client_;
  std::string buffered_;
};

}  // namespace tavelor::testing
