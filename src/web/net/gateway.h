// The gateway between the pages and the panel port: the pages' subscriptions and sends come in,
// one connection polls the panel server for what the pages want (see web/fan_out.h) and
// another carries their commands, and every answer goes out as one message shared by every page
// that wants it. One thread; every handler runs to completion.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "web/fan_out.h"
#include "client/net/panel_connection.h"
#include "web/net/replay_link.h"
#include "web/web_options.h"

namespace tavelor::web {

using client::PanelConnection;

// A page as the gateway sees it: somewhere to put messages.
class PageSink {
 public:
  virtual ~PageSink() = default;
  virtual void Deliver(std::shared_ptr<const std::string> message) = 0;
};

using LogFunction = std::function<void(const std::string& line)>;

class Gateway {
 public:
  Gateway(boost::asio::io_context& io, const WebOptions& options, LogFunction log);
  void Start();
  // Stops asking the panel server and the stand-in: their connections close, and nothing is
  // scheduled any more. Pages may still leave afterwards.
  void Stop();
  // A page joins (it is told the panel server's state at once) and leaves; `page` stays valid
  // until Leave.
  PageId Join(PageSink* page);
  void Leave(PageId page);
  // A text message from a page.
  void OnMessage(PageId page, std::string_view text);
  size_t Pages() const { return pages_.size(); }

 private:
  void Schedule();
  void AskDue();
  void OnAnswer(const std::string& code, const PanelConnection::Result& result);
  void Send(PageId page, const PageRequest& request);
  void Tell(PageId page, const std::string& message);
  void OnLinkState(LinkState state, const std::string& why);
  void MoveReplay(PageId page, const PageRequest& request);
  void OnReplay(const std::optional<ReplayStatus>& status);
  int64_t NowMs() const;

  boost::asio::io_context& io_;
  const WebOptions options_;
  LogFunction log_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  PanelConnection poll_;      // the pages' panel replies
  PanelConnection commands_;  // their sends, so that no command holds up the replies
  ReplayLink replay_;        // the stand-in's replay, when it replays
  boost::asio::steady_timer tick_;
  int64_t tickAtMs_ = -1;     // when tick_ is set to fire; -1: not set
  FanOut fanOut_;
  std::map<PageId, PageSink*> pages_;
  PageId nextPage_ = 1;
  size_t sendsWaiting_ = 0;
  bool wasStalled_ = false;
  bool everUp_ = false;       // connected once: a later loss is a failure, not a wait
  bool stopped_ = false;
};

}  // namespace tavelor::web
