// Load against one TCP server on the loopback: closed-loop (each connection sends its next
// request as soon as the answer to the last one is in), open-loop (each connection sends at a
// fixed rate, latency counted from the moment the request was due, so a slow answer also delays
// the ones behind it as a user would see), and a connect storm. One thread, epoll.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavelor::bench {

using Clock = std::chrono::steady_clock;

struct Result {
  std::vector<double> latencyUs;  // one per answered request
  double seconds = 0;             // wall time of the measured part
  size_t failures = 0;            // connections that failed or answers that never came
};

struct Percentiles {
  double p50 = 0, p99 = 0, p999 = 0, max = 0;
};
// Nearest-rank percentiles; zeros for an empty list.
Percentiles Summarize(std::vector<double> samples);

// The exact answer a request gets, from one fresh connection; empty when none came within the
// time-out (a command, or a server that is not there).
std::string AskOnce(int port, const std::string& request, std::chrono::milliseconds timeout);

// `clients` connections, each sending `request` and waiting for `replyBytes` bytes, for
// `duration` after a short warm-up. Stops early after `maxRequests` answers (0: no limit).
Result ClosedLoop(int port, const std::string& request, size_t replyBytes, int clients,
                  std::chrono::milliseconds duration, uint64_t maxRequests = 0);

// `clients` connections, each due to send every 1/rateHz seconds, their phases spread evenly.
Result OpenLoop(int port, const std::string& request, size_t replyBytes, int clients,
                double rateHz, std::chrono::milliseconds duration);

// `clients` connections opened at once, each sending one request as soon as it is connected;
// latency from the start of the storm to each complete answer.
Result ConnectStorm(int port, const std::string& request, size_t replyBytes, int clients,
                    std::chrono::milliseconds timeout);

// Connections that are open and send nothing, as a crowd of idle or forgotten clients holds.
class IdleConnections {
 public:
  // Opens `count` connections to the port, a batch at a time, each waited for at most 5 s.
  IdleConnections(int port, int count);
  ~IdleConnections();
  IdleConnections(const IdleConnections&) = delete;
  IdleConnections& operator=(const IdleConnections&) = delete;
  size_t Open() const { return fds_.size(); }

 private:
  std::vector<int> fds_;
};

// Raises this process's open-files limit (and so that of what it starts later) to at least
// `needed`; false when the system does not allow that many.
bool RaiseOpenFilesLimit(uint64_t needed);

}  // namespace tavelor::bench
