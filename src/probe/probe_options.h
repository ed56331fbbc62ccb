// tavelor-probe's command line.
#pragma once

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
  bool help = false;
};

struct ParsedOptions {
  ProbeOptions options;
  std::string error;  // not empty: a bad command line (exit status 2)
};

// `args` without the program name.
ParsedOptions ParseProbeOptions(const std::vector<std::string>& args);

extern const char* const kProbeUsage;

}  // namespace tavelor::probe
