// What the stand-in simulator is told at start, and the command line that tells it; the same
// on every platform.
#pragma once

#include <atomic>
#include <string>

#include "sim/sim_peer.h"

namespace tavelor::cli {
class CommandLine;
}

namespace tavelor::sim {

struct SimOptions {
  std::string windowClass = "UIPCMAIN";  // or "FS98MAIN"
  PeerOptions peer;
  int controlPort = 9697;                // 0 picks a free port
  bool parkedAircraft = true;            // preset LoadParkedAircraft
  bool fly = false;                      // fly the circuit from the start
  std::string replay;                    // a recording to replay instead; empty: none
  bool loop = false;                     // the replay starts over at its end
  double speed = 1;                      // the replay's speed, times the recording's
  std::string flightgearHost;            // a FlightGear to follow instead; empty: none
  int flightgearPort = 0;                // its HTTP server (fgfs --httpd=PORT)
  std::string flightgearMap;             // a map file with rows of the user's; empty: none
  const std::atomic<bool>* stop = nullptr;  // turned true by a signal: a recording's load stops
};

inline constexpr double kSlowestReplay = 0.01, kFastestReplay = 100;

// Reads tavelor-sim's options into *options. Returns -1 to go on; otherwise the program ends
// with the returned status: 0 after --help or --version, 2 after saying what is wrong.
int ParseSimOptions(int argc, char** argv, SimOptions* options);

// The options of what moves the memory besides the circuit, for tavelor-sim and for
// tavelor-server's stand-in: --replay FILE, --loop and --speed FACTOR; --flightgear HOST:PORT and
// --flightgear-map FILE. `prefix` goes before the help of the first of each ("with --sim: ").
void AddSourceOptions(cli::CommandLine& line, SimOptions* options, const std::string& prefix = "");
// After the parse: -1 when those options go together with --fly and each other, else 2 after
// the command line has said why.
int CheckSourceOptions(const SimOptions& options, const cli::CommandLine& line);

}  // namespace tavelor::sim
