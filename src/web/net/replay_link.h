// The stand-in's replay as the pages see it: a connection to the stand-in's control channel,
// which listens on this machine's loopback only, asks `replay` once a second and carries the
// pages' pause, play and jump. Where nothing listens, or the stand-in replays no recording, the
// status is none and the pages show no replay. It connects by itself, and again every two
// seconds while it cannot.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "web/stream_messages.h"

namespace tavelor::web {

class ReplayLink {
 public:
  using Changed = std::function<void(const std::optional<ReplayStatus>& status)>;

  // `port` 0: never connects, the status stays none.
  ReplayLink(boost::asio::io_context& io, int port, Changed changed);
  void Start();
  const std::optional<ReplayStatus>& Status() const { return status_; }
  // A control line ("replay pause", "replay at 70.000"); the status is asked again after it.
  void Command(const std::string& line);

 private:
  void Connect();
  void Poll();
  void Send(const std::string& line, bool status);
  void Flush();
  void Read();
  void OnLine(const std::string& line);
  void Lost();
  void SetStatus(const std::optional<ReplayStatus>& status);

  const int port_;
  Changed changed_;
  boost::asio::ip::tcp::socket socket_;
  boost::asio::steady_timer timer_;
  unsigned connection_ = 0;      // a late handler sees that its connection has gone
  bool connected_ = false;
  std::string outgoing_;         // being written
  std::string queued_;           // to write after it
  std::deque<bool> answers_;     // for each line sent: whether its answer is a status
  std::string inbox_;           // read, not yet a whole line
  std::optional<ReplayStatus> status_;
};

}  // namespace tavelor::web
