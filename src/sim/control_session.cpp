#include "sim/control_session.h"

namespace tavelor::sim {

namespace {
constexpr size_t kMaxLine = 1 << 20;
}

bool ControlSession::Receive(SimPeer& peer, const char* data, size_t size, bool atEnd) {
  if (cutOff_) return false;
  in_.append(data, size);
  size_t start = 0;
  bool quit = false;
  for (;;) {
    const size_t end = in_.find('\n', start);
    std::string line;
    if (end != std::string::npos) {
      line = in_.substr(start, end - start);
      start = end + 1;
    } else if (atEnd && start < in_.size() && !skipping_) {
      line = in_.substr(start);  // the last command, without a line end
      start = in_.size();
    } else {
      break;
    }
    if (skipping_) {  // the tail of an over-long line, already answered
      skipping_ = false;
      continue;
    }
    if (out_.size() > kMaxUnread) {
      cutOff_ = true;
      std::string().swap(in_);
      std::string().swap(out_);
      return false;
    }
    out_ += peer.Control(line, &quit);
    out_ += '\n';
    if (quit) break;
  }
  in_.erase(0, start);
  if (!quit && in_.size() > kMaxLine) {
    if (!skipping_) out_ += "ERR line too long\n";
    skipping_ = true;
    in_.clear();
  }
  return quit;
}

}  // namespace tavelor::sim
