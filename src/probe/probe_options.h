// tavelor-probe's command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tavelor::probe {

inline constexpr int kDefaultPort = 9696;

struct ProbeOptions {
  std::string host = "127.0.0.1";
  int port = kDefaultPort;
  double watchHz = 0;           // 0: one request; else polls per second
  long count = 0;               // with --watch: stop after this many polls (0: never)
  bool raw = false;             // the answer's bytes exactly as they came
  bool json = false;            // a panel reply as named values, in JSON
  bool schema = false;          // the fields of every panel reply, in JSON; no request
  double timeoutSeconds = 5;    // how long to wait for an answer
  std::string request;          // as typed, words joined by single blanks
};

// Reads the probe's options (`args` without the program name) into *options. Returns -1 to go
// on; otherwise the probe ends with the returned status: 0 after --help or --version (on
// `out`), 2 after a bad command line (said on `err`).
int ParseProbeOptions(const std::vector<std::string>& args, ProbeOptions* options,
                      std::ostream& out, std::ostream& err);

}  // namespace tavelor::probe
