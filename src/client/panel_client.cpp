#include "client/panel_client.h"

namespace tavelor::client {

namespace {
constexpr std::string_view kNoVersion = "noversion";
}

std::string WireRequest(std::string_view requestText) { return "xx" + std::string(requestText); }

std::string WireRequestOfTyped(const std::string& typed) {
  const std::string text = TypedRequestText(typed);
  return text.size() < typed.size() ? typed : WireRequest(text);
}

AnswerKind KindOfAnswer(std::string_view line) {
  if (line == kNoVersion) return AnswerKind::kNoVersion;
  return line.ends_with(':') ? AnswerKind::kReplyLine : AnswerKind::kVersionText;
}

bool LineReader::Feed(std::string_view bytes) {
  pending_.append(bytes);
  // Only what has no line end yet counts against the bound.
  const size_t lastEnd = pending_.rfind(delimiter_);
  const size_t open = lastEnd == std::string::npos ? pending_.size() : pending_.size() - lastEnd - delimiter_.size();
  if (open <= longest_) return true;
  pending_.clear();
  return false;
}

std::optional<std::string> LineReader::Next() {
  const size_t end = pending_.find(delimiter_);
  if (end == std::string::npos) return std::nullopt;
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + delimiter_.size());
  return line;
}

void PanelClient::Send(std::string requestText, Done done) {
  const RequestCode* code = MatchRequestCode(requestText);
  jobs_.push_back(Job{std::move(requestText), code, std::move(done), false, ""});
  Next();
}

void PanelClient::Connected() {
  connected_ = true;
  lines_.Clear();
  Next();
}

void PanelClient::Next() {
  if (!connected_ || current_ || jobs_.empty()) return;
  current_ = std::move(jobs_.front());
  jobs_.pop_front();
  transport_.Write(WireRequest(current_->request));
  if (current_->IsCommand()) transport_.StartQuiet(kCommandQuiet);
}

void PanelClient::QuietOver() {
  if (!current_ || !current_->IsCommand() || current_->barrierSent) return;
  // A chunk takes every byte to the request's end: a query arriving with it would be taken into
  // the plan, so none follows it.
  if (current_->code->TakesRestOfRequest()) return Finish(PanelResult{"", std::move(current_->answer)});
  current_->barrierSent = true;
  transport_.Write(WireRequest(BarrierQuery().code));
}

bool PanelClient::Received(std::string_view bytes) {
  if (!lines_.Feed(bytes)) return false;
  while (std::optional<std::string> line = lines_.Next()) OnLine(std::move(*line));
  return true;
}

void PanelClient::OnLine(std::string line) {
  if (!current_) return;  // nothing was asked: not an answer to anything of ours
  const std::string noCode = "the panel server has no code " + current_->request.substr(0, 4);
  if (!current_->IsCommand()) {
    const bool unknown = KindOfAnswer(line) == AnswerKind::kNoVersion;
    return Finish(PanelResult{unknown ? noCode : "", std::move(line)});
  }
  // A command answers nothing, or "noversion" when the server has no such code; the version
  // query's answer is neither.
  if (!current_->barrierSent || KindOfAnswer(line) != AnswerKind::kVersionText) {
    current_->answer = std::move(line);
    return;
  }
  std::string answer = std::move(current_->answer);
  const bool unknown = KindOfAnswer(answer) == AnswerKind::kNoVersion;
  Finish(PanelResult{unknown ? noCode : "", std::move(answer)});
}

void PanelClient::Finish(PanelResult result) {
  Job job = std::move(*current_);
  current_.reset();
  job.done(result);
  Next();
}

void PanelClient::Lost(const std::string& why) {
  connected_ = false;
  lines_.Clear();
  std::deque<Job> lost = std::move(jobs_);
  jobs_.clear();
  if (current_) lost.push_front(std::move(*current_));
  current_.reset();
  for (Job& job : lost) job.done(PanelResult{why, ""});
}

}  // namespace tavelor::client
