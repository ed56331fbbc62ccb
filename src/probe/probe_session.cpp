#include "probe/probe_session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <ostream>

#include "client/panel_client.h"
#include "client/command_arguments.h"
#include "probe/probe_format.h"
#include "probe/probe_options.h"
#include "replies/reply_json.h"

namespace tavelor::probe {

namespace {

using client::AnswerKind;
using client::KindOfAnswer;

// "HSI, PFD, FGP and FMS"
std::string ThreeLetterCodes() {
  std::vector<std::string> codes;
  for (const RequestCode& row : RequestCodes())
    if (std::string_view(row.code).size() == 3) codes.push_back(row.code);
  std::string text;
  for (size_t i = 0; i < codes.size(); ++i) text += (i == 0 ? "" : i + 1 == codes.size() ? " and " : ", ") + codes[i];
  return text;
}

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

std::vector<std::string> Fields(std::string_view line) {
  std::vector<std::string> fields;
  if (const auto texts = ReplyFieldTexts(line)) fields.assign(texts->begin(), texts->end());
  return fields;
}

// How a request ended: answered (its line, without CR LF), or not in time, or not at all.
struct Answer {
  enum Kind { kLine, kTimeout, kClosed, kFailed } kind = kTimeout;
  std::string line;
  std::string bytes;  // what came of an answer that did not end
  std::string error;
};

class Probe : private client::PanelTransport {
 public:
  Probe(const ProbeOptions& options, ProbePlatform& platform, ProbeLink& link, std::ostream& out,
        std::ostream& err)
      : o_(options), platform_(platform), link_(link), out_(out), err_(err),
        text_(TypedRequestText(options.request)), code_(MatchRequestCode(text_)),
        schema_(code_ ? FindReplySchema(code_->code) : nullptr),
        timeoutMs_(static_cast<int>(options.timeoutSeconds * 1000)) {
    client_.Connected();
  }

  int Run() {
    if (o_.watchHz > 0) return Watch();
    if (code_ && code_->kind == CodeKind::kCommand) return Command();
    const Answer answer = Ask(timeoutMs_);
    if (answer.kind != Answer::kLine) {
      if (!sendError_.empty()) return Fail("the connection failed while sending: " + sendError_);
      if (!code_ && answer.kind == Answer::kTimeout && answer.bytes.empty()) {
        return Fail("no answer within " + Seconds(o_.timeoutSeconds) + "; if '" + Code() +
                    "' is a command this probe does not know, it was sent");
      }
      return Missing(answer);
    }
    return Show(answer.line);
  }

 private:
  const ProbeOptions& o_;
  ProbePlatform& platform_;
  ProbeLink& link_;
  std::ostream& out_;
  std::ostream& err_;
  const std::string text_;  // the request text: what follows the two leading characters
  const RequestCode* code_;
  const ReplySchema* schema_;
  const int timeoutMs_;
  client::PanelClient client_{*this};
  std::optional<int64_t> quietEnds_;
  int64_t deadline_ = 0;
  std::string sendError_;

  std::string Code() const { return code_ ? code_->code : text_.substr(0, 4); }

  int Fail(const std::string& message) {
    err_ << "tavelor-probe: " << message << "\n";
    return 1;
  }

  void Write(std::string bytes) override {
    if (sendError_.empty() && !link_.Send(bytes)) sendError_ = link_.Error();
  }
  // The pause after a command does not count against the time its answer is given.
  void StartQuiet(std::chrono::milliseconds quiet) override {
    quietEnds_ = platform_.NowMs() + quiet.count();
    deadline_ += quiet.count();
  }

  // Sends the request and waits for it to end: the answer's line, the connection's end or the
  // time being up (`timeoutMs`, after the pause of a command).
  Answer Ask(int timeoutMs) {
    std::optional<client::PanelResult> result;
    Answer answer;
    deadline_ = platform_.NowMs() + timeoutMs;
    client_.Send(text_, [&result](const client::PanelResult& r) { result = r; });
    while (!result && sendError_.empty()) {
      const int64_t now = platform_.NowMs();
      if (quietEnds_ && now >= *quietEnds_) {
        quietEnds_.reset();
        client_.QuietOver();
        continue;
      }
      const int64_t until = quietEnds_ ? std::min(deadline_, *quietEnds_) : deadline_;
      if (until <= now) break;
      std::string bytes;
      const ProbeLink::Received received = link_.Receive(static_cast<int>(until - now), &bytes);
      if (received == ProbeLink::Received::kData && !client_.Received(bytes)) {
        answer.kind = Answer::kFailed;
        answer.error = "an answer without a line end, longer than 64 KiB";
        return answer;
      }
      if (received == ProbeLink::Received::kClosed || received == ProbeLink::Received::kFailed) {
        answer.kind = received == ProbeLink::Received::kClosed ? Answer::kClosed : Answer::kFailed;
        answer.bytes = client_.Unfinished();
        answer.error = link_.Error();
        return answer;
      }
    }
    if (!result) {
      answer.bytes = client_.Unfinished();
      return answer;
    }
    answer.kind = Answer::kLine;
    answer.line = result->line;
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
  int Show(const std::string& line) {
    if (o_.raw) {
      out_ << line << "\r\n";
      out_.flush();
    }
    const AnswerKind kind = KindOfAnswer(line);
    if (kind == AnswerKind::kNoVersion) {
      std::string hint;
      const RequestCode* three = FindRequestCode(text_.substr(0, 3));
      if (text_.size() > 3 && three) hint = " (the three-letter codes " + ThreeLetterCodes() + " match only with nothing after them)";
      return Fail("the server answered noversion: it has no code '" + Escape(text_.substr(0, 4)) +
                  "'" + hint);
    }
    if (o_.raw) return 0;
    if (o_.json && kind == AnswerKind::kReplyLine) return Json(line);
    if (kind == AnswerKind::kReplyLine) {
      const std::vector<std::string> fields = Fields(line);
      const ReplySchema* labels = code_ && code_->kind == CodeKind::kReply ? schema_ : nullptr;
      out_ << Code() << ": " << fields.size() << " fields\n" << FieldTable(labels, fields);
    } else {
      out_ << Code() << ": " << Escape(line) << "\n";
    }
    out_.flush();
    return 0;
  }

  // A panel reply as named values: it must have the fields its schema gives, and a numeric
  // field whose text is not a number fails too (after the message, which shows it as null).
  int Json(const std::string& line) {
    const ReplyJson json = ReplyAsJson(*schema_, line);
    if (!json.error.empty()) {
      return Fail(Code() + " answered " + std::to_string(Fields(line).size()) + " fields, where it has " +
                  std::to_string(schema_->fields.size()) + ": \"" + Escape(line + "\r\n") + "\"");
    }
    out_ << json.message << "\n";
    out_.flush();
    if (json.unreadable.empty()) return 0;
    std::string names;
    for (const std::string& name : json.unreadable) names += (names.empty() ? "" : ", ") + name;
    return Fail(Code() + ": not a number where the schema has one (null in \"fields\"): " + names);
  }

  int Command() {
    const Answer answer = Ask(timeoutMs_);
    if (!sendError_.empty()) return Fail("the connection failed while sending: " + sendError_);
    // Commands answer nothing; an answer means the server took it for something else.
    if (answer.kind == Answer::kLine && !answer.line.empty()) return Show(answer.line);
    if (answer.kind == Answer::kLine && code_->TakesRestOfRequest()) {
      out_ << Code() << ": command sent (commands answer nothing; no version query follows a"
                        " flight plan chunk, which would take it for part of the plan)\n";
      return 0;
    }
    if (answer.kind != Answer::kLine) {
      err_ << "tavelor-probe: " << Code() << " was sent, but the version query sent after it"
           << " did not come back whole:\n";
      return Missing(answer);
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
      const Answer answer = Ask(timeoutMs_);
      if (!sendError_.empty()) return Fail("the connection failed while sending: " + sendError_);
      if (answer.kind != Answer::kLine) return Missing(answer);
      if (KindOfAnswer(answer.line) != AnswerKind::kReplyLine) return Show(answer.line);
      if (o_.raw || o_.json) {
        if (const int status = Show(answer.line); status != 0) return status;
      } else {
        const std::vector<std::string> fields = Fields(answer.line);
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
               << FieldTable(schema_, fields, first ? nullptr : &previous);
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
  const std::string text = TypedRequestText(options.request);
  const RequestCode* code = MatchRequestCode(text);
  if (code && code->kind == CodeKind::kCommand && options.watchHz == 0) {
    const std::string problem = client::ArgumentProblem(text);
    if (!problem.empty()) {
      err << "tavelor-probe: " << code->code << " not sent: " << problem << "\n";
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
