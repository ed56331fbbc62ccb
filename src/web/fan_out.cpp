#include "web/fan_out.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavelor::web {

void FanOut::Subscribe(PageId page, const std::vector<std::string>& codes, double hz, int64_t nowMs) {
  const double period = 1000.0 / std::clamp(hz, kMinHz, kMaxHz);
  for (const std::string& code : codes) {
    pages_[page][code] = Want{period, static_cast<double>(nowMs)};
    // A code nobody wanted yet is asked at once, so a new page shows values without waiting.
    if (codes_.emplace(code, Code{static_cast<double>(nowMs), false}).second) continue;
    Code& known = codes_[code];
    known.nextAskMs = std::min(known.nextAskMs, static_cast<double>(nowMs) + period);
  }
}

void FanOut::Unsubscribe(PageId page, const std::vector<std::string>& codes) {
  auto found = pages_.find(page);
  if (found == pages_.end()) return;
  for (const std::string& code : codes) found->second.erase(code);
  if (found->second.empty()) pages_.erase(found);
  for (const std::string& code : codes) ForgetIfUnwanted(code);
}

// A code nobody wants any more is forgotten, but not while its request is out: a page that
// wants it again meanwhile must not have it asked a second time, or a page that subscribes and
// unsubscribes in a loop would queue requests faster than the panel server answers them.
void FanOut::ForgetIfUnwanted(const std::string& code) {
  const auto state = codes_.find(code);
  if (state != codes_.end() && !state->second.asking && PeriodMs(code) == 0) codes_.erase(state);
}

void FanOut::RemovePage(PageId page) {
  auto found = pages_.find(page);
  if (found == pages_.end()) return;
  std::vector<std::string> codes;
  for (const auto& [code, want] : found->second) codes.push_back(code);
  Unsubscribe(page, codes);
}

double FanOut::PeriodMs(const std::string& code) const {
  double fastest = 0;
  for (const auto& [page, wants] : pages_) {
    const auto want = wants.find(code);
    if (want != wants.end() && (fastest == 0 || want->second.periodMs < fastest)) {
      fastest = want->second.periodMs;
    }
  }
  return fastest;
}

std::vector<std::string> FanOut::TakeDue(int64_t nowMs) {
  std::vector<std::string> due;
  for (auto& [code, state] : codes_) {
    if (state.asking || nowMs < std::floor(state.nextAskMs)) continue;
    const double period = PeriodMs(code);
    if (period == 0) continue;  // unwanted, its answer still awaited
    state.asking = true;
    state.nextAskMs += period;
    // Fallen far behind (a slow answer, a stalled server): start again from now instead of
    // asking in a burst to catch up.
    if (state.nextAskMs < nowMs - period) state.nextAskMs = static_cast<double>(nowMs);
    due.push_back(code);
  }
  return due;
}

int64_t FanOut::NextDueMs() const {
  double next = std::numeric_limits<double>::infinity();
  for (const auto& [code, state] : codes_) {
    if (!state.asking) next = std::min(next, state.nextAskMs);
  }
  return std::isinf(next) ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(std::floor(next));
}

std::vector<PageId> FanOut::Answered(const std::string& code, int64_t nowMs) {
  std::vector<PageId> to;
  const auto state = codes_.find(code);
  if (state == codes_.end()) return to;
  state->second.asking = false;
  const double period = PeriodMs(code);
  if (period == 0) {  // nobody wants it any more: forgotten, now that its answer came
    codes_.erase(state);
    return to;
  }
  // Answers come with some jitter around the code's period: a page is due half a period early.
  const double early = period / 2;
  for (auto& [page, wants] : pages_) {
    const auto found = wants.find(code);
    if (found == wants.end()) continue;
    Want& want = found->second;
    if (nowMs < want.nextMs - early) continue;
    want.nextMs = std::max(want.nextMs + want.periodMs, nowMs + want.periodMs / 2);
    to.push_back(page);
  }
  return to;
}

void FanOut::Lost(const std::string& code) {
  const auto state = codes_.find(code);
  if (state == codes_.end()) return;
  state->second.asking = false;
  ForgetIfUnwanted(code);
}

bool FanOut::Wants(PageId page, const std::string& code) const {
  const auto found = pages_.find(page);
  return found != pages_.end() && found->second.count(code) > 0;
}

}  // namespace tavelor::web
