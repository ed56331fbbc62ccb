// The benchmarks' stand-in panel server: one thread, every answer numbered, and the moment each
// was written noted, so that a client's program can say how late it passed an answer on. RADI
// carries the number in its transponder and ADF fields (four digits each), HSI in its DME 1 and
// autopilot altitude fields (five each). Also what the benchmarks read of a child: its processor
// time, and percentiles.
#pragma once

#include <unistd.h>

#include <utility>  // before Asio 1.74's awaitable.hpp, which uses std::exchange without it

#include <algorithm>
#include <atomic>
#include <boost/asio.hpp>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tavelor::bench {

inline int64_t Micros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class NumberedPanelServer {
 public:
  static constexpr size_t kMaxAnswers = 1 << 22;
  std::vector<std::atomic<int64_t>> sentAt = std::vector<std::atomic<int64_t>>(kMaxAnswers);
  std::atomic<long> requests{0};

  NumberedPanelServer()
      : acceptor_(io_, boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), 0)) {
    Accept();
  }
  int Port() const { return acceptor_.local_endpoint().port(); }
  void Run() { thread_ = std::thread([this] { io_.run(); }); }
  void Stop() {
    io_.stop();
    thread_.join();
  }

  // The number an answer line carries; -1 for none.
  static long SequenceOf(const std::string& code, const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ':');) fields.push_back(field);
    if (code == "RADI" && fields.size() > 9) return std::stol(fields[2]) * 10000 + std::stol(fields[9]);
    if (code == "HSI" && fields.size() > 12) return std::stol(fields[3]) * 100000 + std::stol(fields[12]);
    return -1;
  }

 private:
  using tcp = boost::asio::ip::tcp;
  struct Connection {
    explicit Connection(tcp::socket s) : socket(std::move(s)) {}
    tcp::socket socket;
    char buffer[512];
    std::string answer;
  };

  void Accept() {
    acceptor_.async_accept([this](boost::system::error_code error, tcp::socket socket) {
      if (error) return;
      socket.set_option(tcp::no_delay(true));
      Read(std::make_shared<Connection>(std::move(socket)));
      Accept();
    });
  }

  void Read(std::shared_ptr<Connection> c) {
    c->socket.async_read_some(boost::asio::buffer(c->buffer), [this, c](boost::system::error_code error, size_t n) {
      if (error) return;
      const std::string request(c->buffer + std::min<size_t>(2, n), c->buffer + n);
      const long seq = next_++ % static_cast<long>(kMaxAnswers);
      char line[256];
      if (request == "RADI") {
        std::snprintf(line, sizeof line,
                      " 12.3:  0.0:%04ld:118.25:121.50:110.90:113.90:111.30:109.00:%04ld:10010000:119.10:124.85:\r\n",
                      seq / 10000, seq % 10000);
      } else if (request == "HSI") {
        std::snprintf(line, sizeof line,
                      "27160:00000:000:%05ld:00000:000:000:000:000:0:0:0000000:%05ld:+0000:000:270:05:-----:-----:-----:"
                      "00000:000:000:\r\n",
                      seq / 100000, seq % 100000);
      } else {
        std::snprintf(line, sizeof line, "2.01b\r\n");
      }
      ++requests;
      c->answer = line;
      sentAt[seq] = Micros();
      boost::asio::async_write(c->socket, boost::asio::buffer(c->answer), [this, c](boost::system::error_code error, size_t) {
        if (!error) Read(c);
      });
    });
  }

  boost::asio::io_context io_;
  tcp::acceptor acceptor_;
  std::thread thread_;
  long next_ = 0;
};

// A process's processor time so far, user and system, in seconds.
inline double CpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string skip;
  long user = 0, system = 0;
  for (int i = 3; i <= 13; ++i) fields >> skip;
  fields >> user >> system;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

inline int64_t Percentile(std::vector<int64_t>& values, double p) {
  if (values.empty()) return 0;
  const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
  return values[at];
}

}  // namespace tavelor::bench
