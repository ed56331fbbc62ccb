// The control channel's framing, the same on every platform: bytes in, one answer line per
// command out. A last command without a line end still counts once the client has finished
// sending; a line longer than 1 MiB is answered once with an error and the rest of it skipped.
// A client that sends another command while more than kMaxUnread bytes of answers wait for it
// is cut off: one read of short commands can ask for hundreds of megabytes of answers, so the
// bound is checked at every answer, not once per read.
//
// A web page the user visits can make the browser connect here and send a request whose body
// holds commands. No control client speaks HTTP, so a line that looks like HTTP (a request line,
// "POST / HTTP/1.1", or a Host: or Origin: header) ends the session before anything runs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "sim/sim_peer.h"

namespace tavelor::sim {

class ControlSession {
 public:
  static constexpr size_t kMaxUnread = 8 << 20;

  // Takes received bytes (atEnd: the client sent its last). True once a command was `quit`;
  // nothing after it is handled.
  bool Receive(SimPeer& peer, const char* data, size_t size, bool atEnd);
  // Answers not sent yet; the shell erases what the socket took.
  std::string& Output() { return out_; }
  const std::string& Output() const { return out_; }
  // Past the bound, or spoken to in HTTP: nothing more is handled, its answers are dropped;
  // the shell closes it.
  bool CutOff() const { return cutOff_ || spokeHttp_; }
  bool SpokeHttp() const { return spokeHttp_; }

 private:
  std::string in_;
  std::string out_;
  bool skipping_ = false;  // inside an over-long line, discarding up to its end
  bool cutOff_ = false;
  bool spokeHttp_ = false;
};

// A line a browser sends and no control client does.
bool LooksLikeHttp(std::string_view line);

}  // namespace tavelor::sim
