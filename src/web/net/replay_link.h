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
  // A command's outcome: empty when the stand-in took it, else why not (its ERR line).
  using Done = std::function<void(const std::string& error)>;

  // `port` 0: never connects, the status stays none.
  ReplayLink(boost::asio::io_context& io, int port, Changed changed);
  void Start();
  // Closes the connection for good; pending handlers end without effect.
  void Stop();
  const std::optional<ReplayStatus>& Status() const { return status_; }
  // A control line ("replay pause", "replay at 70.000"); the status is asked again after it.
  // One command is out at a time: of those that come meanwhile only the latest follows it (a
  // page dragging the replay bar sends a burst, and only where it ends matters); those it
  // replaces are told so. `done` is called once, never from inside the call.
  void Command(const std::string& line, Done done);

 private:
  void Connect();
  void Poll();
  struct Command_ {
    std::string line;
    Done done;
  };
  struct Answer {
    bool status;  // a status line, else a command's answer
    Done done;    // a command's
  };
  void Send(const std::string& line, bool status, Done done = {});
  void SendCommand(Command_ command);
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
  bool stopped_ = false;
  std::string outgoing_;         // being written
  std::string queued_;           // to write after it
  std::deque<Answer> answers_;   // for each line sent, what its answer is for
  bool commandOut_ = false;      // a command is sent and not answered yet
  std::optional<Command_> next_; // the latest that came meanwhile
  std::string inbox_;           // read, not yet a whole line
  std::optional<ReplayStatus> status_;
};

}  // namespace tavelor::web
