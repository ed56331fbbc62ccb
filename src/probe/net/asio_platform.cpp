#include "probe/net/asio_platform.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>

#include <chrono>
#include <memory>
#include <thread>

namespace tavelor::probe {

namespace {

namespace asio = boost::asio;
using boost::system::error_code;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// How long a request may wait for the server to take its bytes.
constexpr int kSendTimeoutMs = 5000;

// Runs `io` until `done` or for `timeoutMs`. An operation still pending then is cancelled and
// its handler run, so nothing is left waiting: false when it had not finished in time.
bool RunFor(asio::io_context& io, tcp::socket& socket, const bool& done, int timeoutMs) {
  io.restart();
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done && io.run_one_until(deadline) > 0) {
  }
  if (done) return true;
  error_code ignored;
  socket.cancel(ignored);
  io.restart();
  while (!done && io.run_one() > 0) {
  }
  return false;
}

class AsioLink : public ProbeLink {
 public:
  AsioLink(asio::io_context& io, tcp::socket socket) : io_(io), socket_(std::move(socket)) {}

  // One request, one write: the server reads whatever is waiting as one request.
  bool Send(const std::string& bytes) override {
    bool done = false;
    error_code result;
    asio::async_write(socket_, asio::buffer(bytes), [&](error_code e, size_t) {
      result = e;
      done = true;
    });
    if (!RunFor(io_, socket_, done, kSendTimeoutMs) && result == asio::error::operation_aborted) {
      error_ = "the server takes no more bytes";
      return false;
    }
    if (result) error_ = result.message();
    return !result;
  }

  Received Receive(int timeoutMs, std::string* into) override {
    char buffer[4096];
    bool done = false;
    error_code result;
    size_t got = 0;
    socket_.async_read_some(asio::buffer(buffer), [&](error_code e, size_t n) {
      result = e;
      got = n;
      done = true;
    });
    RunFor(io_, socket_, done, timeoutMs);
    into->append(buffer, got);
    if (got > 0) return Received::kData;
    if (result == asio::error::operation_aborted || result == asio::error::interrupted ||
        result == asio::error::would_block) {
      return Received::kTimeout;
    }
    if (result == asio::error::eof || result == asio::error::connection_reset ||
        result == asio::error::connection_aborted) {
      return Received::kClosed;
    }
    error_ = result.message();
    return Received::kFailed;
  }

  std::string Error() const override { return error_; }

 private:
  asio::io_context& io_;
  tcp::socket socket_;
  std::string error_;
};

}  // namespace

ProbePlatform::Connection AsioPlatform::Connect(const std::string& host, int port, int timeoutMs) {
  Connection connection;
  error_code lookup;
  const auto found = tcp::resolver(io_).resolve(host, std::to_string(port), lookup);
  if (lookup) {
    connection.error = "cannot find the address '" + host + "': " + lookup.message();
    return connection;
  }
  // Each address in turn, as long as none took the connection.
  for (const auto& entry : found) {
    tcp::socket socket(io_);
    bool done = false;
    error_code result;
    socket.async_connect(entry.endpoint(), [&](error_code e) {
      result = e;
      done = true;
    });
    if (!RunFor(io_, socket, done, timeoutMs) && result == asio::error::operation_aborted) {
      connection.error = "no answer to the connection";
      continue;
    }
    if (!result) {
      connection.link = std::make_unique<AsioLink>(io_, std::move(socket));
      connection.refused = false;
      return connection;
    }
    if (result == asio::error::connection_refused) connection.refused = true;
    connection.error = result.message();
  }
  return connection;
}

void AsioPlatform::Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int64_t AsioPlatform::NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
      .count();
}

}  // namespace tavelor::probe
