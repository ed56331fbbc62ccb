// Fair shares of the browsers' connections. Besides the total, one address may hold only so
// many, so that one host (a tablet gone wrong, or anyone on the network holding half-sent
// requests) cannot take every slot and blank the other cockpit displays. A refusal is said once
// per address: a host that keeps trying does not fill the log.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace tavelor::web {

inline constexpr size_t kMaxConnections = 256;  // pages and page loads together
inline constexpr size_t kDefaultMaxPerAddress = 32;

class ConnectionShares {
 public:
  ConnectionShares(size_t total, size_t perAddress) : total_(total), perAddress_(perAddress) {}

  struct Decision {
    bool taken = false;
    std::string refusal;  // when refused, the line to log; empty when it was said already
  };
  // A new connection from `address`: counted until Release, or refused. A refusal is said again
  // only once the address has been let in afresh, with nothing of its own open.
  Decision Take(const std::string& address);
  void Release(const std::string& address);

 private:
  size_t total_;
  size_t perAddress_;
  size_t open_ = 0;
  std::unordered_map<std::string, size_t> byAddress_;  // only addresses with something open
  std::unordered_set<std::string> told_;               // refused, and said so
};

}  // namespace tavelor::web
