#include "web/net/replay_link.h"

#include <boost/asio/post.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>

namespace tavelor::web {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using boost::system::error_code;

namespace {

constexpr auto kPoll = std::chrono::seconds(1);
constexpr auto kRetry = std::chrono::seconds(2);
constexpr size_t kLongestLine = 4096;  // `replay` answers one short line
constexpr size_t kMostWaiting = 64;    // lines sent and not answered: a stand-in that stopped reading

}  // namespace

ReplayLink::ReplayLink(asio::io_context& io, int port, Changed changed)
    : port_(port), changed_(std::move(changed)), socket_(io), timer_(io) {}

void ReplayLink::Start() {
  if (port_ > 0) Connect();
}

void ReplayLink::Stop() {
  stopped_ = true;
  ++connection_;
  connected_ = false;
  error_code ignored;
  socket_.close(ignored);
  timer_.cancel();
}

void ReplayLink::Connect() {
  const unsigned serial = ++connection_;
  const tcp::endpoint stand_in(asio::ip::address_v4::loopback(), static_cast<unsigned short>(port_));
  socket_.async_connect(stand_in, [this, serial](error_code error) {
    if (serial != connection_) return;
    if (error) return Lost();
    connected_ = true;
    inbox_.clear();
    Read();
    Poll();
  });
}

void ReplayLink::Poll() {
  if (!connected_) return;
  if (answers_.empty()) Send("replay", true);
  const unsigned serial = connection_;
  timer_.expires_after(kPoll);
  timer_.async_wait([this, serial](error_code error) {
    if (!error && serial == connection_) Poll();
  });
}

void ReplayLink::Command(const std::string& line, Done done) {
  if (!connected_) {
    return asio::post(socket_.get_executor(), [done = std::move(done)] { done("the stand-in simulator is not connected"); });
  }
  if (commandOut_) {
    if (next_) asio::post(socket_.get_executor(), [done = std::move(next_->done)] { done(""); });  // passed by a later one
    next_ = Command_{line, std::move(done)};
    return;
  }
  SendCommand(Command_{line, std::move(done)});
}

void ReplayLink::SendCommand(Command_ command) {
  commandOut_ = true;
  Send(command.line, false, std::move(command.done));
  Send("replay", true);
}

void ReplayLink::Send(const std::string& line, bool status, Done done) {
  if (answers_.size() >= kMostWaiting) return Lost();
  answers_.push_back(Answer{status, std::move(done)});
  queued_ += line + "\n";
  Flush();
}

void ReplayLink::Flush() {
  if (!outgoing_.empty() || queued_.empty()) return;
  outgoing_.swap(queued_);
  const unsigned serial = connection_;
  asio::async_write(socket_, asio::buffer(outgoing_), [this, serial](error_code error, size_t) {
    if (serial != connection_) return;
    if (error) return Lost();
    outgoing_.clear();
    Flush();
  });
}

void ReplayLink::Read() {
  const unsigned serial = connection_;
  // A line longer than the bound ends the read with an error, as a stand-in would never send.
  asio::async_read_until(socket_, asio::dynamic_buffer(inbox_, kLongestLine), '\n',
                         [this, serial](error_code error, size_t length) {
                           if (serial != connection_) return;
                           if (error) return Lost();
                           std::string line = inbox_.substr(0, length - 1);
                           inbox_.erase(0, length);
                           if (!line.empty() && line.back() == '\r') line.pop_back();
                           OnLine(line);
                           if (serial == connection_) Read();
                         });
}

void ReplayLink::OnLine(const std::string& line) {
  if (answers_.empty()) return Lost();  // an answer to nothing asked: not the stand-in
  Answer answer = std::move(answers_.front());
  answers_.pop_front();
  if (answer.status) return SetStatus(recording::ParseReplayStatusLine(line));
  commandOut_ = false;
  answer.done(line == "OK" ? "" : line.starts_with("ERR ") ? line.substr(4) : line);
  if (next_ && connected_) {
    Command_ command = std::move(*next_);
    next_.reset();
    SendCommand(std::move(command));
  }
}

// Gone, refused, or not the stand-in: no replay, and another try in a while.
void ReplayLink::Lost() {
  if (stopped_) return;
  ++connection_;
  connected_ = false;
  error_code ignored;
  socket_.close(ignored);
  outgoing_.clear();
  queued_.clear();
  // Commands lost with the connection are told so.
  std::deque<Answer> lost = std::move(answers_);
  answers_.clear();
  commandOut_ = false;
  if (next_) lost.push_back(Answer{false, std::move(next_->done)});
  next_.reset();
  for (Answer& answer : lost)
    if (answer.done) answer.done("the connection to the stand-in simulator was lost");
  SetStatus(std::nullopt);
  const unsigned serial = connection_;
  timer_.expires_after(kRetry);
  timer_.async_wait([this, serial](error_code error) {
    if (!error && serial == connection_) Connect();
  });
}

void ReplayLink::SetStatus(const std::optional<ReplayStatus>& status) {
  if (status == status_) return;
  status_ = status;
  changed_(status_);
}

}  // namespace tavelor::web
