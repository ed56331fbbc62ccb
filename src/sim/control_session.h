// The control channel's framing, the same on every platform: bytes in, one answer line per
// command out. A last command without a line end still counts once the client has finished
// sending; a line longer than 1 MiB is answered once with an error and the rest of it skipped.
#pragma once

#include <cstddef>
#include <string>

#include "sim/sim_peer.h"

namespace tavelor::sim {

class ControlSession {
 public:
  // Takes received bytes (atEnd: the client sent its last). True once a command was `quit`;
  // nothing after it is handled.
  bool Receive(SimPeer& peer, const char* data, size_t size, bool atEnd);
  // Answers not sent yet; the shell erases what the socket took.
  std::string& Output() { return out_; }
  const std::string& Output() const { return out_; }

 private:
  std::string in_;
  std::string out_;
  bool skipping_ = false;  // inside an over-long line, discarding up to its end
};

}  // namespace tavelor::sim
