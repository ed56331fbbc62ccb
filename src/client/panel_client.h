// The panel port's client side, written once for every program that speaks it: tavelor-probe,
// tavelor-web and tavelor-mqtt. The server takes whatever one read of a connection brings as one
// request, so a client writes each request in one write and writes nothing else until it is
// answered: a panel reply or a version text is a line ended by CR LF; a command answers nothing,
// so it is left alone for a moment (two requests read together would be one) and then a
// version query follows it, whose answer shows that the server has handled the command.
//
// Standard C++ over one small seam: a transport that writes bytes and keeps time for the
// pause. What arrives is handed in as bytes; the connection, its time-outs and reconnecting are
// the transport's owner's.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/request_codes.h"

namespace tavelor::client {

// How long a command is left alone before the version query follows it: bytes that arrive
// together are one request, and the query would be lost in the command.
inline constexpr std::chrono::milliseconds kCommandQuiet{250};
// The longest answer taken: MAPS, the longest reply, is under a kilobyte.
inline constexpr size_t kLongestAnswer = 64 * 1024;

// The bytes of one request: two characters the server ignores, then the request text.
std::string WireRequest(std::string_view requestText);
// The request text of what a user typed (see TypedRequestText), as wire bytes.
std::string WireRequestOfTyped(const std::string& typed);

// What an answer line (without its CR LF) is: a panel reply's every field ends with ":", the
// server answers "noversion" to a code it does not have, and anything else is a version text.
enum class AnswerKind { kReplyLine, kVersionText, kNoVersion };
AnswerKind KindOfAnswer(std::string_view line);

// Bytes in, lines out: each line ends at `delimiter`, which is not part of it. Bounded: a line
// longer than `longest` is an error, not a reason to grow.
class LineReader {
 public:
  explicit LineReader(std::string delimiter = "\r\n", size_t longest = kLongestAnswer)
      : delimiter_(std::move(delimiter)), longest_(longest) {}
  // Takes bytes; false once a line has run past the bound (the bytes are then dropped).
  bool Feed(std::string_view bytes);
  // The next whole line, if one has arrived.
  std::optional<std::string> Next();
  // What has come of a line not yet ended.
  const std::string& Unfinished() const { return pending_; }
  void Clear() { pending_.clear(); }

 private:
  std::string delimiter_;
  size_t longest_;
  std::string pending_;
};

// A connection's state as its owner tells it: down, up, or up but not answering.
enum class LinkState { kDown, kUp, kStalled };

// What the client needs of its connection.
class PanelTransport {
 public:
  virtual ~PanelTransport() = default;
  // Writes one request's bytes, in one write.
  virtual void Write(std::string bytes) = 0;
  // Calls the client's QuietOver once `quiet` has passed, unless the connection is lost first.
  virtual void StartQuiet(std::chrono::milliseconds quiet) = 0;
};

struct PanelResult {
  std::string error;  // empty: answered, or for a command taken by the server; else why not
                      // (the connection lost, or "noversion": the server has no such code)
  std::string line;   // a request's answer; for a command, a line the server answered it with
                      // (usually none)
};

class PanelClient {
 public:
  using Done = std::function<void(const PanelResult&)>;

  explicit PanelClient(PanelTransport& transport) : transport_(transport) {}

  // A request text, without its two leading characters. Its row in the registry says what it
  // is: a command is sent, left alone, then followed by the version query (a flight plan chunk,
  // which takes every byte after it, by nothing: the job ends after the pause); anything else
  // waits for its line. `done` is called once, when the answer is in or the connection lost.
  void Send(std::string requestText, Done done);

  // The transport's events: the connection is up (jobs go out from now on); bytes arrived
  // (false when an answer ran past kLongestAnswer: the connection must be dropped); the pause
  // is over; the connection is lost (every job fails with `why`).
  void Connected();
  bool Received(std::string_view bytes);
  void QuietOver();
  void Lost(const std::string& why);

  bool Busy() const { return current_.has_value(); }
  size_t Waiting() const { return jobs_.size() + (current_ ? 1 : 0); }
  // The bytes of an answer not yet whole: what a client that gives up can show.
  const std::string& Unfinished() const { return lines_.Unfinished(); }
  // Whether the current command's version query has gone out.
  bool BarrierSent() const { return current_ && current_->barrierSent; }

 private:
  struct Job {
    std::string request;
    const RequestCode* code = nullptr;
    Done done;
    bool barrierSent = false;
    std::string answer;  // a command's own answer line, if any
    bool IsCommand() const { return code && code->kind == CodeKind::kCommand; }
  };

  void Next();
  void OnLine(std::string line);
  void Finish(PanelResult result);

  PanelTransport& transport_;
  bool connected_ = false;
  std::deque<Job> jobs_;
  std::optional<Job> current_;
  LineReader lines_;
};

}  // namespace tavelor::client
