// tavelor-probe's conversation with the server, portable: the panel client's (a request per
// write, and after a command the pause and the version query whose answer shows that the server
// has taken it; client/panel_client.h) with a time limit, and what the probe prints of it. What
// a command did the server does not say: one whose argument does not parse is only logged, so a
// command whose arguments would not parse is not sent at all (client/command_arguments.h).
//
// The platform shells (posix/, win32/) give it a connection and a clock.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "core/request_codes.h"

namespace tavelor::probe {

class ProbeLink {
 public:
  virtual ~ProbeLink() = default;
  // Writes all the bytes in one write; false when the connection failed (Error() says why).
  virtual bool Send(const std::string& bytes) = 0;
  enum class Received { kData, kTimeout, kClosed, kFailed };
  // Waits up to `timeoutMs` for bytes and appends what arrived to *into.
  virtual Received Receive(int timeoutMs, std::string* into) = 0;
  virtual std::string Error() const = 0;
};

class ProbePlatform {
 public:
  virtual ~ProbePlatform() = default;
  struct Connection {
    std::unique_ptr<ProbeLink> link;  // null when the connection could not be made
    bool refused = false;             // the address answered: nothing listens on that port
    std::string error;
  };
  virtual Connection Connect(const std::string& host, int port, int timeoutMs) = 0;
  virtual void Pause(int ms) = 0;
  virtual int64_t NowMs() = 0;             // a steady clock
  virtual bool OutputIsTerminal() = 0;     // --watch then redraws its table in place
};

inline constexpr int kConnectTimeoutMs = 3000;

// Runs the probe; `args` without the program name. Returns the exit status.
int RunProbe(const std::vector<std::string>& args, ProbePlatform& platform, std::ostream& out,
             std::ostream& err);

}  // namespace tavelor::probe
