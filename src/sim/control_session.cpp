#include "sim/control_session.h"

#include "text/lower_case.h"

namespace tavelor::sim {

namespace {

constexpr size_t kMaxLine = 1 << 20;

bool StartsWithWord(std::string_view line, std::string_view word) {
  return line.size() >= word.size() && LowerCase(line.substr(0, word.size())) == word;
}

}  // namespace

bool LooksLikeHttp(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (StartsWithWord(line, "host:") || StartsWithWord(line, "origin:")) return true;
  // METHOD SP target SP HTTP/x.y: the method in capitals, as every browser sends it.
  const size_t first = line.find(' ');
  const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
  if (first == 0 || second == std::string_view::npos || second == first + 1) return false;
  for (const char c : line.substr(0, first))
    if (c < 'A' || c > 'Z') return false;
  return line.substr(second + 1).starts_with("HTTP/");
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
    if (LooksLikeHttp(line)) {
      spokeHttp_ = true;
      std::string().swap(in_);
      std::string().swap(out_);
      return false;
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
