#include "web/net/gateway.h"

#include <limits>

namespace tavelor::web {

namespace {

// Sends waiting for the command connection, from all pages together; a page that sends faster
// than the panel server confirms is told so instead of growing the queue.
constexpr size_t kMaxSendsWaiting = 32;

}  // namespace

Gateway::Gateway(boost::asio::io_context& io, const WebOptions& options, LogFunction log)
    : io_(io), options_(options), log_(std::move(log)),
      poll_(io, options.serverHost, options.serverPort,
            [this](LinkState state, const std::string& why) { OnLinkState(state, why); }),
      commands_(io, options.serverHost, options.serverPort, [](LinkState, const std::string&) {}),
      replay_(io, options.simControl, [this](const std::optional<ReplayStatus>& status) { OnReplay(status); }),
      tick_(io) {}

void Gateway::Start() {
  poll_.Start();
  commands_.Start();
  replay_.Start();
}

void Gateway::Stop() {
  stopped_ = true;
  tick_.cancel();
  poll_.Stop();
  commands_.Stop();
  replay_.Stop();
}

int64_t Gateway::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
      .count();
}

PageId Gateway::Join(PageSink* page) {
  const PageId id = nextPage_++;
  pages_[id] = page;
  Tell(id, LinkMessage(poll_.State()));
  if (replay_.Status()) Tell(id, ReplayMessage(replay_.Status()));
  return id;
}

void Gateway::Leave(PageId page) {
  pages_.erase(page);
  fanOut_.RemovePage(page);
}

void Gateway::Tell(PageId page, const std::string& message) {
  const auto found = pages_.find(page);
  if (found != pages_.end()) found->second->Deliver(std::make_shared<const std::string>(message));
}

void Gateway::OnMessage(PageId page, std::string_view text) {
  if (!pages_.count(page)) return;  // it has left: a subscription now would outlive it
  const ParsedPageRequest parsed = ParsePageMessage(text);
  if (!parsed.request) return Tell(page, RefusalMessage(parsed));
  const PageRequest& request = *parsed.request;
  switch (request.kind) {
    case PageRequest::kSubscribe:
      fanOut_.Subscribe(page, request.codes, request.hz, NowMs());
      return Schedule();
    case PageRequest::kUnsubscribe:
      return fanOut_.Unsubscribe(page, request.codes);
    case PageRequest::kSend:
      return Send(page, request);
    case PageRequest::kReplay:
      return MoveReplay(page, request);
  }
}

void Gateway::MoveReplay(PageId page, const PageRequest& request) {
  if (options_.readOnly) return Tell(page, ErrorMessage("tavelor-web runs with --read-only: the replay cannot be moved"));
  if (!replay_.Status()) return Tell(page, ErrorMessage("the stand-in simulator replays no recording"));
  replay_.Command(request.replay, [this, page, line = request.replay](const std::string& error) {
    if (!error.empty()) Tell(page, ErrorMessage("the stand-in simulator refused \"" + line + "\": " + error));
  });
}

// Every page hears where the replay is, and that there is none once it is gone.
void Gateway::OnReplay(const std::optional<ReplayStatus>& status) {
  const auto message = std::make_shared<const std::string>(ReplayMessage(status));
  for (const auto& [id, page] : pages_) page->Deliver(message);
}

void Gateway::Send(PageId page, const PageRequest& request) {
  if (options_.readOnly) return Tell(page, SentMessage(request, "tavelor-web runs with --read-only: sends are refused"));
  if (commands_.State() == LinkState::kDown) return Tell(page, SentMessage(request, "the panel server is not connected"));
  if (sendsWaiting_ >= kMaxSendsWaiting) return Tell(page, SentMessage(request, "too many sends are waiting"));
  ++sendsWaiting_;
  commands_.Send(request.send, [this, page, request](const PanelConnection::Result& result) {
    --sendsWaiting_;
    Tell(page, SentMessage(request, result.error));
  });
}

// The tick is set for the next code's turn; it moves earlier when a page asks for more.
void Gateway::Schedule() {
  if (stopped_ || poll_.State() == LinkState::kDown) return;
  const int64_t due = fanOut_.NextDueMs();
  if (due == std::numeric_limits<int64_t>::max() || (tickAtMs_ >= 0 && tickAtMs_ <= due)) return;
  tickAtMs_ = due;
  tick_.expires_at(start_ + std::chrono::milliseconds(due));
  tick_.async_wait([this](boost::system::error_code error) {
    if (error) return;
    tickAtMs_ = -1;
    AskDue();
  });
}

void Gateway::AskDue() {
  for (const std::string& code : fanOut_.TakeDue(NowMs())) {
    poll_.Send(code, [this, code](const PanelConnection::Result& result) { OnAnswer(code, result); });
  }
  Schedule();
}

void Gateway::OnAnswer(const std::string& code, const PanelConnection::Result& result) {
  if (!result.error.empty()) return fanOut_.Lost(code);
  const std::vector<PageId> to = fanOut_.Answered(code, NowMs());
  if (!to.empty()) {
    // One message for every page that wants it.
    const auto message = std::make_shared<const std::string>(ReplyMessage(*FindReplySchema(code), result.line));
    for (const PageId page : to) {
      if (const auto found = pages_.find(page); found != pages_.end()) found->second->Deliver(message);
    }
  }
  Schedule();
}

void Gateway::OnLinkState(LinkState state, const std::string& why) {
  const std::string where = options_.serverHost + ":" + std::to_string(options_.serverPort);
  switch (state) {
    case LinkState::kUp:
      log_(wasStalled_ ? "Panel server answering again" : "Panel server connected: " + where);
      everUp_ = true;
      break;
    case LinkState::kStalled:
      log_("Panel server not answering (" + why + ")");
      break;
    case LinkState::kDown:
      // Before the first connection this is no failure: the server listens only once it has
      // found its simulator, which may start after the pages.
      log_(everUp_ ? "Panel server " + where + " not reachable (" + why + "); trying again every second"
                   : "Waiting for the panel server at " + where + " (" + why +
                         "; it listens once it has found its simulator); trying every second");
      break;
  }
  wasStalled_ = state == LinkState::kStalled;
  const auto message = std::make_shared<const std::string>(LinkMessage(state));
  for (const auto& [id, page] : pages_) page->Deliver(message);
  tickAtMs_ = -1;
  tick_.cancel();
  Schedule();
}

}  // namespace tavelor::web
