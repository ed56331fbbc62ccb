#include "probe/probe_session.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <ostream>

#include "probe/probe_arguments.h"
#include "probe/probe_codes.h"
#include "probe/probe_format.h"
#include "probe/probe_json.h"
#include "probe/probe_options.h"

namespace tavelor::probe {

namespace {

constexpr const char* kNoVersion = "noversion\r\n";

bool EndsWithLineEnd(const std::string& text) {
  return text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
}

struct Answer {
  enum Kind { kLine, kTimeout, kClosed, kFailed } kind = kTimeout;
  std::string bytes;
  std::string error;
};

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", seconds);
  return text;
}

std::string TimeOfDay() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const long ms = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  char text[32] = "";
  if (const std::tm* local = std::localtime(&seconds)) std::strftime(text, sizeof text, "%H:%M:%S", local);
  char withMs[48];
  std::snprintf(withMs, sizeof withMs, "%s.%03ld", text, ms);
  return withMs;
}

class Probe {
 public:
  Probe(const ProbeOptions& options, ProbePlatform& platform, ProbeLink& link, std::ostream& out,
        std::ostream& err)
      : o_(options), platform_(platform), link_(link), out_(out), err_(err),
        wire_(WireRequest(options.request)), text_(RequestTextOfWire(wire_)),
        info_(FindCode(text_)), timeoutMs_(static_cast<int>(options.timeoutSeconds * 1000)) {}

  int Run() {
    if (o_.watchHz > 0) return Watch();
    if (info_ && info_->kind == CodeKind::kCommand) return Command();
    if (!Send(wire_)) return 1;
    const Answer answer = Await(timeoutMs_);
    if (answer.kind != Answer::kLine) {
      if (!info_ && answer.kind == Answer::kTimeout && answer.bytes.empty()) {
        return Fail("no answer within " + Seconds(o_.timeoutSeconds) + "; if '" + Code() +
                    "' is a command this probe does not know, it was sent");
      }
      return Missing(answer);
    }
    return Show(answer.bytes, nullptr);
  }

 private:
  const ProbeOptions& o_;
  ProbePlatform& platform_;
  ProbeLink& link_;
  std::ostream& out_;
  std::ostream& err_;
  const std::string wire_;   // the bytes of the request, two leading characters included
  const std::string text_;   // the request text: what follows them
  const CodeInfo* info_;
  const int timeoutMs_;

  std::string Code() const { return info_ ? info_->code : text_.substr(0, 4); }

  int Fail(const std::string& message) {
    err_ << "tavelor-probe: " << message << "\n";
    return 1;
  }

  bool Send(const std::string& bytes) {
    if (link_.Send(bytes)) return true;
    Fail("the connection failed while sending: " + link_.Error());
    return false;
  }

  // Reads until the answer's CR LF, the connection's end or the time is up.
  Answer Await(int timeoutMs) {
    Answer answer;
    const int64_t deadline = platform_.NowMs() + timeoutMs;
    for (int64_t left; (left = deadline - platform_.NowMs()) > 0;) {
      switch (link_.Receive(static_cast<int>(left), &answer.bytes)) {
        case ProbeLink::Received::kData:
          if (EndsWithLineEnd(answer.bytes)) {
            answer.kind = Answer::kLine;
            return answer;
          }
          break;
        case ProbeLink::Received::kTimeout:
          break;
        case ProbeLink::Received::kClosed:
          answer.kind = Answer::kClosed;
          return answer;
        case ProbeLink::Received::kFailed:
          answer.kind = Answer::kFailed;
          answer.error = link_.Error();
          return answer;
      }
    }
    return answer;
  }

  // An answer that did not come whole.
  int Missing(const Answer& answer) {
    const std::string cut = "the reply was cut: " + std::to_string(answer.bytes.size()) +
                            " bytes came without the CR LF that ends every answer";
    switch (answer.kind) {
      case Answer::kFailed:
        return Fail("the connection failed: " + answer.error);
      case Answer::kClosed:
        if (answer.bytes.empty()) return Fail("the server closed the connection without answering");
        return Fail(cut + ", then the server closed the connection: \"" + Escape(answer.bytes) + "\"");
      default:
        if (answer.bytes.empty()) {
          return Fail("no answer within " + Seconds(o_.timeoutSeconds) +
                      " (while its simulator does not answer, the server holds every request for up"
                      " to about 20 s; --timeout waits longer)");
        }
        return Fail(cut + ", and nothing more within " + Seconds(o_.timeoutSeconds) + ": \"" +
                    Escape(answer.bytes) + "\"");
    }
  }

  // A whole answer: a reply line, a version text or "noversion".
  int Show(const std::string& answer, const std::vector<std::string>* previous) {
    if (o_.raw) {
      out_.write(answer.data(), static_cast<std::streamsize>(answer.size()));
      out_.flush();
    }
    if (answer == kNoVersion) {
      std::string hint;
      const std::string three = text_.substr(0, 3);
      if (text_.size() > 3 && (three == "HSI" || three == "PFD" || three == "FGP" || three == "FMS")) {
        hint = " (the three-letter codes HSI, PFD, FGP and FMS match only with nothing after them)";
      }
      return Fail("the server answered noversion: it has no code '" + Escape(text_.substr(0, 4)) +
                  "'" + hint);
    }
    if (o_.raw) return 0;
    if (o_.json && IsReplyLine(answer)) return Json(answer);
    if (IsReplyLine(answer)) {
      const std::vector<std::string> fields = SplitReply(answer);
      const CodeInfo* labels = info_ && info_->kind == CodeKind::kReply ? info_ : nullptr;
      out_ << Code() << ": " << fields.size() << " fields\n" << FieldTable(labels, fields, previous);
    } else {
      out_ << Code() << ": " << Escape(answer.substr(0, answer.size() - 2)) << "\n";
    }
    out_.flush();
    return 0;
  }

  // A panel reply as named values: it must have the fields its schema gives.
  int Json(const std::string& answer) {
    const auto values = ReadReplyLine(*info_->schema, answer);
    if (!values) {
      const size_t fields = SplitReply(answer).size();
      return Fail(Code() + " answered " + std::to_string(fields) + " fields, where it has " +
                  std::to_string(info_->schema->fields.size()) + ": \"" + Escape(answer) + "\"");
    }
    out_ << ReplyJson(*info_->schema, *values);
    out_.flush();
    return 0;
  }

  int Command() {
    if (!Send(wire_)) return 1;
    // Commands answer nothing; an answer here means the server took it for something else.
    const Answer early = Await(kCommandQuietMs);
    if (early.kind == Answer::kLine) return Show(early.bytes, nullptr);
    if (early.kind != Answer::kTimeout || !early.bytes.empty()) return Missing(early);
    if (info_->takesRestOfRequest) {
      out_ << Code() << ": command sent (commands answer nothing; no version query follows a"
                        " flight plan chunk, which would take it for part of the plan)\n";
      return 0;
    }
    if (!Send(kBarrier)) return 1;
    const Answer barrier = Await(timeoutMs_);
    if (barrier.kind != Answer::kLine) {
      err_ << "tavelor-probe: " << Code() << " was sent, but the version query sent after it"
           << " did not come back whole:\n";
      return Missing(barrier);
    }
    out_ << Code() << ": sent and taken; a command answers nothing, and a malformed argument would"
                      " only be logged by the server\n";
    return 0;
  }

  int Watch() {
    const int64_t periodMs = static_cast<int64_t>(1000 / o_.watchHz);
    const int64_t start = platform_.NowMs();
    std::vector<std::string> previous;
    for (long poll = 1;; ++poll) {
      if (!Send(wire_)) return 1;
      const Answer answer = Await(timeoutMs_);
      if (answer.kind != Answer::kLine) return Missing(answer);
      if (!IsReplyLine(answer.bytes)) return Show(answer.bytes, nullptr);
      if (o_.raw || o_.json) {
        if (const int status = Show(answer.bytes, nullptr); status != 0) return status;
      } else {
        const std::vector<std::string> fields = SplitReply(answer.bytes);
        const bool first = poll == 1;
        const size_t changed = first ? fields.size() : ChangedCount(fields, previous);
        const bool terminal = platform_.OutputIsTerminal();
        // A terminal shows the table in place, every poll; a pipe or file gets a table only
        // when something changed.
        if (terminal || first || changed > 0) {
          if (terminal) out_ << "\x1b[H\x1b[2J";
          out_ << Code() << "  poll " << poll << "  " << TimeOfDay() << "  "
               << (first ? std::to_string(fields.size()) + " fields" : std::to_string(changed) + " changed")
               << "\n"
               << FieldTable(info_, fields, first ? nullptr : &previous);
          out_.flush();
        }
        previous = fields;
      }
      if (o_.count > 0 && poll >= o_.count) return 0;
      const int64_t wait = start + poll * periodMs - platform_.NowMs();
      if (wait > 0) platform_.Pause(static_cast<int>(wait));
    }
  }
};

}  // namespace

int RunProbe(const std::vector<std::string>& args, ProbePlatform& platform, std::ostream& out,
             std::ostream& err) {
  ProbeOptions options;
  if (const int status = ParseProbeOptions(args, &options, out, err); status >= 0) return status;
  if (options.schema) {
    out << ReplySchemasJson();
    return 0;
  }
  // The server would drop a command it cannot read with nothing but a line in its log.
  const std::string text = RequestTextOfWire(WireRequest(options.request));
  const CodeInfo* info = FindCode(text);
  if (info && info->kind == CodeKind::kCommand && options.watchHz == 0) {
    const std::string problem = ArgumentProblem(text);
    if (!problem.empty()) {
      err << "tavelor-probe: " << info->code << " not sent: " << problem << "\n";
      return 2;
    }
  }
  const std::string where = options.host + ":" + std::to_string(options.port);
  ProbePlatform::Connection connection = platform.Connect(options.host, options.port, kConnectTimeoutMs);
  if (!connection.link) {
    if (connection.refused) {
      err << "tavelor-probe: nothing listens on " << where
          << " (connection refused); is tavelor-server running, and has it found its simulator?\n";
    } else {
      err << "tavelor-probe: cannot connect to " << where << ": " << connection.error << "\n";
    }
    return 1;
  }
  return Probe(options, platform, *connection.link, out, err).Run();
}

}  // namespace tavelor::probe
