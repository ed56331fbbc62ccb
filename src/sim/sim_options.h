// What the stand-in simulator is told at start, and the command line that tells it; the same
// on every platform.
#pragma once

#include <optional>
#include <string>

#include "sim/sim_peer.h"

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
};

inline constexpr double kSlowestReplay = 0.01, kFastestReplay = 100;

// Reads tavelor-sim's options into *options. Returns -1 to go on; otherwise the program ends
// with the returned status: 0 after printing the usage for --help, 2 after saying what is wrong.
int ParseSimOptions(int argc, char** argv, SimOptions* options);

// A replay's speed factor, a plain decimal number from kSlowestReplay to kFastestReplay.
std::optional<double> ParseReplaySpeed(const std::string& text);

// -1 when the replay's options go together; otherwise what `usage` returns for the problem.
int CheckReplayOptions(const SimOptions& options, int (*usage)(const std::string& problem));

}  // namespace tavelor::sim
