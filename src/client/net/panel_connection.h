// One connection to the panel port, on Asio, for tavelor-web and tavelor-mqtt: the conversation
// itself (a request per write, the pause and the version query after a command) is the panel
// client's (client/panel_client.h); this side connects, by itself and again whenever the
// connection is lost, after a second and then, failure after failure, twice as long each time
// up to `longestRetry`; a request unanswered for a second makes the link "stalled" until an
// answer comes, and one unanswered for 30 s drops the connection. Idle, it asks a version query
// every few seconds.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <functional>
#include <string>

#include "client/panel_client.h"

namespace tavelor::client {

class PanelConnection : private PanelTransport {
 public:
  using Result = PanelResult;
  using Done = PanelClient::Done;
  using StateChanged = std::function<void(LinkState state, const std::string& why)>;

  PanelConnection(boost::asio::io_context& io, std::string host, int port, StateChanged changed,
                  std::chrono::seconds longestRetry = std::chrono::seconds(1));
  void Start();
  // Closes the connection for good: every request fails, nothing is tried again, and every
  // handler still pending ends at its next turn without touching anything.
  void Stop();
  // A request without its two leading characters: a panel reply's code, or a command. `done`
  // is called exactly once, never from inside the call; requests wait while the connection is
  // down, and fail when it is lost.
  void Send(std::string request, Done done);
  LinkState State() const { return state_; }
  // While down: how long until the next attempt.
  std::chrono::seconds NextTry() const { return nextTry_; }
  size_t Waiting() const { return client_.Waiting(); }

 private:
  void Write(std::string bytes) override;
  void StartQuiet(std::chrono::milliseconds quiet) override;

  void Connect();
  void Read();
  void Answered();
  void KeepAlive();
  void ArmStall();
  void Fail(const std::string& why);
  void SetState(LinkState state, const std::string& why);

  boost::asio::io_context& io_;
  const std::string host_;
  const int port_;
  StateChanged changed_;
  const std::chrono::seconds longestRetry_;
  std::chrono::seconds retryAfter_{1};  // the wait after the next failure
  std::chrono::seconds nextTry_{1};     // the wait after the last one
  boost::asio::ip::tcp::resolver resolver_;
  boost::asio::ip::tcp::socket socket_;
  boost::asio::steady_timer retry_;
  boost::asio::steady_timer quiet_;
  boost::asio::steady_timer stall_;
  boost::asio::steady_timer idle_;
  PanelClient client_{*this};
  LinkState state_ = LinkState::kDown;
  bool connected_ = false;
  bool stopped_ = false;
  bool reported_ = false;               // the state has been told once: a first failure is told too
  unsigned connection_ = 0;             // counts connections, and writes: a late handler sees
  unsigned written_ = 0;                // that its own has moved on
  std::chrono::steady_clock::time_point giveUp_;
  char readBuffer_[4096];
  std::string outgoing_;
};

}  // namespace tavelor::client
