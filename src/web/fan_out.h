// Fan-out: what the pages want, and when to ask the panel server for it. Every code some page
// wants is asked once per period of the fastest page that wants it, never again while its last
// request is unanswered, and each answer goes to every page that wants that code at the page's
// own rate. So fifty tablets showing the radio stack cost the panel server what one does.
// Pure bookkeeping over a millisecond clock the caller passes in.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tavelor::web {

using PageId = std::uint64_t;

inline constexpr double kMinHz = 0.1;
inline constexpr double kMaxHz = 20;  // the panel server's fastest panels poll at 20 Hz

class FanOut {
 public:
  // The page wants these codes `hz` times a second (a code it had already takes the new rate).
  void Subscribe(PageId page, const std::vector<std::string>& codes, double hz, int64_t nowMs);
  void Unsubscribe(PageId page, const std::vector<std::string>& codes);
  void RemovePage(PageId page);

  // The codes to ask now, marked as asked.
  std::vector<std::string> TakeDue(int64_t nowMs);
  // When TakeDue next has something; INT64_MAX while nothing is waiting for its turn.
  int64_t NextDueMs() const;
  // An answer of `code` came: the pages to give it to now. The code may be asked again.
  std::vector<PageId> Answered(const std::string& code, int64_t nowMs);
  // The request of `code` got no answer (the panel server went away): ask it at its next turn.
  void Lost(const std::string& code);

  bool Wants(PageId page, const std::string& code) const;

 private:
  struct Want {
    double periodMs;
    double nextMs;  // when the page is due for its next answer of the code
  };
  struct Code {
    double nextAskMs = 0;
    bool asking = false;
  };
  double PeriodMs(const std::string& code) const;  // of the fastest page that wants it; 0: none
  void ForgetIfUnwanted(const std::string& code);

  std::map<PageId, std::map<std::string, Want>> pages_;
  std::map<std::string, Code> codes_;  // every code some page wants, or whose answer is awaited
};

}  // namespace tavelor::web
