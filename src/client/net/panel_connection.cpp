#include "client/net/panel_connection.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/write.hpp>

namespace tavelor::client {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using boost::system::error_code;

namespace {

constexpr auto kStalled = std::chrono::seconds(1);
// While its simulator does not answer, the server holds each request for about 21 s; past this
// the connection is taken for dead (a half-open one never closes by itself).
constexpr auto kGiveUp = std::chrono::seconds(30);
// A connection with nothing to ask says something now and then: a server started with an idle
// time-out keeps it, and a server that vanished without closing shows as stalled.
constexpr auto kKeepAlive = std::chrono::seconds(5);

}  // namespace

PanelConnection::PanelConnection(asio::io_context& io, std::string host, int port, StateChanged changed,
                                 std::chrono::seconds longestRetry)
    : io_(io), host_(std::move(host)), port_(port), changed_(std::move(changed)), longestRetry_(longestRetry), resolver_(io),
      socket_(io), retry_(io), quiet_(io), stall_(io), idle_(io) {}

void PanelConnection::Start() { Connect(); }

void PanelConnection::Stop() {
  stopped_ = true;
  error_code ignored;
  resolver_.cancel();
  socket_.close(ignored);
  connected_ = false;
  ++connection_;
  ++written_;
  for (boost::asio::steady_timer* timer : {&retry_, &quiet_, &stall_, &idle_}) timer->cancel();
  client_.Lost("stopping");
}

void PanelConnection::Send(std::string request, Done done) {
  client_.Send(std::move(request), [this, done = std::move(done)](const Result& result) {
    if (connected_) Answered();  // not when the connection was lost: it is down
    done(result);
  });
}

void PanelConnection::Connect() {
  if (stopped_) return;
  const unsigned serial = ++connection_;
  resolver_.async_resolve(host_, std::to_string(port_), [this, serial](error_code error, tcp::resolver::results_type found) {
    if (serial != connection_) return;
    if (error) return Fail("cannot find " + host_ + ": " + error.message());
    asio::async_connect(socket_, found, [this, serial](error_code error, const tcp::endpoint&) {
      if (serial != connection_) return;
      if (error) return Fail(error.message());
      socket_.set_option(tcp::no_delay(true), error);  // each request leaves at once, whole
      connected_ = true;
      retryAfter_ = std::chrono::seconds(1);
      SetState(LinkState::kUp, "");
      Read();
      client_.Connected();
      if (!client_.Busy()) KeepAlive();
    });
  });
}

void PanelConnection::Read() {
  const unsigned serial = connection_;
  socket_.async_read_some(asio::buffer(readBuffer_), [this, serial](error_code error, size_t n) {
    if (serial != connection_) return;
    if (error) return Fail(error == asio::error::eof ? "the panel server closed the connection" : error.message());
    if (!client_.Received(std::string_view(readBuffer_, n))) return Fail("an answer without a line end, longer than 64 KiB");
    if (serial == connection_) Read();
  });
}

// Something came back: the link answers, and what is left to ask goes on.
void PanelConnection::Answered() {
  ++written_;
  stall_.cancel();
  quiet_.cancel();
  SetState(LinkState::kUp, "");
  if (connected_ && !client_.Busy()) KeepAlive();
}

void PanelConnection::KeepAlive() {
  const unsigned serial = written_;
  idle_.expires_after(kKeepAlive);
  idle_.async_wait([this, serial](error_code error) {
    if (!error && serial == written_ && connected_ && !client_.Busy())
      Send(BarrierQuery().code, [](const Result&) {});
  });
}

void PanelConnection::Write(std::string bytes) {
  if (!client_.BarrierSent()) giveUp_ = std::chrono::steady_clock::now() + kGiveUp;  // a new request
  ++written_;
  outgoing_ = std::move(bytes);
  ArmStall();
  const unsigned serial = connection_;
  asio::async_write(socket_, asio::buffer(outgoing_), [this, serial](error_code error, size_t) {
    if (error && serial == connection_) Fail(error.message());
  });
}

void PanelConnection::StartQuiet(std::chrono::milliseconds quiet) {
  const unsigned serial = connection_;
  quiet_.expires_after(quiet);
  quiet_.async_wait([this, serial](error_code error) {
    if (!error && serial == connection_) client_.QuietOver();
  });
}

void PanelConnection::ArmStall() {
  const unsigned serial = written_;
  const auto now = std::chrono::steady_clock::now();
  stall_.expires_after(std::min<std::chrono::steady_clock::duration>(kStalled, giveUp_ - now));
  stall_.async_wait([this, serial](error_code error) {
    if (error || serial != written_ || !client_.Busy()) return;
    if (std::chrono::steady_clock::now() >= giveUp_) return Fail("no answer for 30 s");
    SetState(LinkState::kStalled, "no answer for a second");
    stall_.expires_at(giveUp_);
    stall_.async_wait([this, serial](error_code error) {
      if (!error && serial == written_ && client_.Busy()) Fail("no answer for 30 s");
    });
  });
}

void PanelConnection::Fail(const std::string& why) {
  if (stopped_) return;
  error_code ignored;
  socket_.close(ignored);
  connected_ = false;
  ++connection_;
  ++written_;
  stall_.cancel();
  quiet_.cancel();
  idle_.cancel();
  nextTry_ = retryAfter_;
  retryAfter_ = std::min(retryAfter_ * 2, longestRetry_);
  SetState(LinkState::kDown, why);
  client_.Lost("the panel server went away (" + why + ")");
  retry_.expires_after(nextTry_);
  retry_.async_wait([this](error_code error) {
    if (!error) Connect();
  });
}

void PanelConnection::SetState(LinkState state, const std::string& why) {
  if (reported_ && state == state_) return;
  reported_ = true;
  state_ = state;
  changed_(state, why);
}

}  // namespace tavelor::client
