#include "web/net/panel_connection.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include "core/request_codes.h"

namespace tavelor::web {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using boost::system::error_code;

namespace {

constexpr auto kRetry = std::chrono::seconds(1);
// A command is left alone this long before the version query follows it: bytes that arrive
// together are one request, and the query would be lost in the command.
constexpr auto kCommandQuiet = std::chrono::milliseconds(200);
constexpr auto kStalled = std::chrono::seconds(1);
// While its simulator does not answer, the server holds each request for about 21 s; past this
// the connection is taken for dead (a half-open one never closes by itself).
constexpr auto kGiveUp = std::chrono::seconds(30);
// A connection with nothing to ask says something now and then: a server started with an idle
// time-out keeps it, and a server that vanished without closing shows as stalled.
constexpr auto kKeepAlive = std::chrono::seconds(5);
constexpr size_t kLongestLine = 64 * 1024;  // MAPS, the longest, is under a kilobyte
const std::string kBarrier = BarrierQuery().code;

}  // namespace

PanelConnection::PanelConnection(asio::io_context& io, std::string host, int port, StateChanged changed)
    : io_(io), host_(std::move(host)), port_(port), changed_(std::move(changed)), resolver_(io),
      socket_(io), retry_(io), quiet_(io), stall_(io), idle_(io) {}

void PanelConnection::Start() { Connect(); }

void PanelConnection::Ask(std::string request, Done done) {
  jobs_.push_back(Job{std::move(request), false, std::move(done), false, ""});
  asio::post(io_, [this] { Next(); });
}

void PanelConnection::Command(std::string request, Done done) {
  jobs_.push_back(Job{std::move(request), true, std::move(done), false, ""});
  asio::post(io_, [this] { Next(); });
}

void PanelConnection::Connect() {
  const unsigned serial = ++connection_;
  resolver_.async_resolve(host_, std::to_string(port_), [this, serial](error_code error, tcp::resolver::results_type found) {
    if (serial != connection_) return;
    if (error) return Fail("cannot find " + host_ + ": " + error.message());
    asio::async_connect(socket_, found, [this, serial](error_code error, const tcp::endpoint&) {
      if (serial != connection_) return;
      if (error) return Fail(error.message());
      socket_.set_option(tcp::no_delay(true), error);  // each request leaves at once, whole
      connected_ = true;
      inbox_.clear();
      SetState(LinkState::kUp, "");
      Read();
      Next();
    });
  });
}

void PanelConnection::Read() {
  const unsigned serial = connection_;
  socket_.async_read_some(asio::buffer(readBuffer_), [this, serial](error_code error, size_t n) {
    if (serial != connection_) return;
    if (error) return Fail(error == asio::error::eof ? "the panel server closed the connection" : error.message());
    inbox_.append(readBuffer_, n);
    for (size_t end; serial == connection_ && (end = inbox_.find("\r\n")) != std::string::npos;) {
      std::string line = inbox_.substr(0, end);
      inbox_.erase(0, end + 2);
      OnLine(std::move(line));
    }
    if (serial != connection_) return;
    if (inbox_.size() > kLongestLine) return Fail("an answer without a line end, longer than 64 KiB");
    Read();
  });
}

void PanelConnection::Next() {
  if (!connected_ || current_) return;
  if (jobs_.empty()) return KeepAlive();
  current_ = std::move(jobs_.front());
  jobs_.pop_front();
  ++job_;
  giveUp_ = std::chrono::steady_clock::now() + kGiveUp;
  Write("xx" + current_->request);
  if (current_->command) {
    const unsigned serial = job_;
    quiet_.expires_after(kCommandQuiet);
    quiet_.async_wait([this, serial](error_code error) {
      if (error || serial != job_ || !current_) return;
      current_->barrierSent = true;
      Write(std::string("xx") + kBarrier);
    });
  }
}

void PanelConnection::KeepAlive() {
  const unsigned serial = job_;
  idle_.expires_after(kKeepAlive);
  idle_.async_wait([this, serial](error_code error) {
    if (!error && serial == job_ && connected_ && !current_ && jobs_.empty()) Ask(kBarrier, [](const Result&) {});
  });
}

void PanelConnection::Write(std::string bytes) {
  outgoing_ = std::move(bytes);
  ArmStall();
  const unsigned serial = connection_;
  asio::async_write(socket_, asio::buffer(outgoing_), [this, serial](error_code error, size_t) {
    if (error && serial == connection_) Fail(error.message());
  });
}

void PanelConnection::ArmStall() {
  const unsigned serial = job_;
  const auto now = std::chrono::steady_clock::now();
  stall_.expires_after(std::min<std::chrono::steady_clock::duration>(kStalled, giveUp_ - now));
  stall_.async_wait([this, serial](error_code error) {
    if (error || serial != job_ || !current_) return;
    if (std::chrono::steady_clock::now() >= giveUp_) return Fail("no answer for 30 s");
    SetState(LinkState::kStalled, "no answer for a second");
    stall_.expires_at(giveUp_);
    stall_.async_wait([this, serial](error_code error) {
      if (!error && serial == job_ && current_) Fail("no answer for 30 s");
    });
  });
}

void PanelConnection::OnLine(std::string line) {
  if (!current_) return;  // nothing was asked: not an answer to anything of ours
  SetState(LinkState::kUp, "");
  if (!current_->command) return Finish(Result{"", std::move(line)});
  // A command answers nothing, or "noversion" when the server has no such code; the version
  // query's answer is neither.
  if (!current_->barrierSent || line == "noversion" || line.find(':') != std::string::npos) {
    current_->answer = std::move(line);
    if (current_->barrierSent) ArmStall();
    return;
  }
  std::string answer = std::move(current_->answer);
  Finish(Result{answer == "noversion" ? "the panel server has no code " + current_->request.substr(0, 4) : "",
                std::move(answer)});
}

void PanelConnection::Finish(Result result) {
  Job job = std::move(*current_);
  current_.reset();
  ++job_;
  stall_.cancel();
  quiet_.cancel();
  job.done(result);
  Next();
}

void PanelConnection::Fail(const std::string& why) {
  error_code ignored;
  socket_.close(ignored);
  connected_ = false;
  ++connection_;
  ++job_;
  stall_.cancel();
  quiet_.cancel();
  SetState(LinkState::kDown, why);
  std::deque<Job> lost = std::move(jobs_);
  jobs_.clear();
  if (current_) lost.push_front(std::move(*current_));
  current_.reset();
  for (Job& job : lost) job.done(Result{"the panel server went away (" + why + ")", ""});
  retry_.expires_after(kRetry);
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

}  // namespace tavelor::web
