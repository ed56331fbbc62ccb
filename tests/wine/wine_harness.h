// Plumbing of the Wine tests: the Windows programs run under `wine` in a private prefix with the
// null graphics driver (no display), and are checked from Linux over loopback and through
// win_inspect.exe. Every wait is bounded.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "support/process.h"

namespace tavelor::wine {

using Ms = std::chrono::milliseconds;
using testing::Client;
using testing::Process;
using testing::SimControl;

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
// Where the Wine programs' standard error goes: beside the prefix once SetWineEnvironment ran.
const std::string& WineErrorLog();

// The tests' own network: a named network namespace (`ip netns`) with only its loopback up, so
// that port 9696 is theirs whatever else runs on the machine (scripts/run.sh, another server).
// Every Wine program and the wineserver, which opens their sockets, must start inside it. The
// name comes from the prefix, so that builds side by side do not share one.
std::string PrivateNetworkName(const std::string& prefix);
// Makes the namespace afresh (`fresh`) or when it is missing, and moves this process into it
// (before it starts any thread or child). False with a reason in *why: it takes root.
bool EnterPrivateNetwork(const std::string& name, bool fresh, std::string* why);
void RemovePrivateNetwork(const std::string& name);

struct RunResult {
  int exitCode = -1;  // -1 when it did not end in time (it is killed then)
  std::string out;    // standard output
};
// Runs to its end, at most `timeout`; standard input is /dev/null, standard error goes to
// WineErrorLog().
RunResult Run(const std::vector<std::string>& argv, Ms timeout);

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
