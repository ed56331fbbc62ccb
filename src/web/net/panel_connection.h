// One connection to the panel port, the safe way: every request in one write, and nothing else
// written until its answer (a line ended by CR LF) is in; the server takes whatever one read
// brings as one request, so two requests in one write would be one. A command answers nothing:
// it is left to arrive alone for a moment, then a version query follows it, whose answer shows
// that the server has handled the command.
//
// It connects by itself and again whenever the connection is lost, once a second; a request
// unanswered for a second makes the link "stalled" until an answer comes. Idle, it asks a
// version query every few seconds.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "web/stream_messages.h"

namespace tavelor::web {

class PanelConnection {
 public:
  struct Result {
    std::string error;  // empty: done
    std::string line;   // an ask's answer; for a command, a line the server answered it with
                        // ("noversion" when it has no such code), usually none
  };
  using Done = std::function<void(const Result&)>;
  using StateChanged = std::function<void(LinkState state, const std::string& why)>;

  PanelConnection(boost::asio::io_context& io, std::string host, int port, StateChanged changed);
  void Start();
  // A request without its two leading characters. `done` is called exactly once, never from
  // inside the call.
  void Ask(std::string request, Done done);
  void Command(std::string request, Done done);
  LinkState State() const { return state_; }
  size_t Waiting() const { return jobs_.size() + (current_ ? 1 : 0); }

 private:
  struct Job {
    std::string request;
    bool command = false;
    Done done;
    bool barrierSent = false;
    std::string answer;  // a command's own answer line, if any
  };

  void Connect();
  void Read();
  void OnLine(std::string line);
  void Next();
  void KeepAlive();
  void Write(std::string bytes);
  void ArmStall();
  void Finish(Result result);
  void Fail(const std::string& why);
  void SetState(LinkState state, const std::string& why);

  boost::asio::io_context& io_;
  const std::string host_;
  const int port_;
  StateChanged changed_;
  boost::asio::ip::tcp::resolver resolver_;
  boost::asio::ip::tcp::socket socket_;
  boost::asio::steady_timer retry_;
  boost::asio::steady_timer quiet_;
  boost::asio::steady_timer stall_;
  boost::asio::steady_timer idle_;
  LinkState state_ = LinkState::kDown;
  bool connected_ = false;
  bool reported_ = false;               // the state has been told once: a first failure is told too
  unsigned connection_ = 0;             // counts connections, and jobs: a late handler sees that
  unsigned job_ = 0;                    // its own has moved on
  std::chrono::steady_clock::time_point giveUp_;
  std::deque<Job> jobs_;
  std::optional<Job> current_;
  std::string inbox_;                   // bytes read, not yet a whole line
  char readBuffer_[4096];
  std::string outgoing_;
};

}  // namespace tavelor::web
