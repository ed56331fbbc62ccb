// What the stand-in simulator is told at start, and the command line that tells it; the same
// on every platform.
#pragma once

#include <string>

#include "sim/sim_peer.h"

namespace tavelor::sim {

struct SimOptions {
  std::string windowClass = "UIPCMAIN";  // or "FS98MAIN"
  PeerOptions peer;
  int controlPort = 9697;                // 0 picks a free port
  bool parkedAircraft = true;            // preset LoadParkedAircraft
  bool fly = false;                      // fly the circuit from the start
};

// Reads tavelor-sim's options into *options. Returns -1 to go on; otherwise the program ends
// with the returned status: 0 after --help or --version, 2 after saying what is wrong.
int ParseSimOptions(int argc, char** argv, SimOptions* options);

}  // namespace tavelor::sim
