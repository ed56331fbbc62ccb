// tavelor-web-bench: what tavelor-web costs the panel server and how late its pages hear an
// answer. It starts tavelor-web in front of a stand-in panel server of its own, which answers
// RADI and HSI with a sequence number inside the line and notes when it wrote each answer; N
// pages (WebSocket clients) subscribe to both codes at a rate. It prints the requests per
// second reaching the panel port, the messages per second the pages get, and the latency from
// the panel server's answer to each page's message, p50 and p99.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>  // before Asio 1.74's awaitable.hpp, which uses std::exchange without it

#include <algorithm>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_line.h"

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

int64_t Micros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

// The stand-in panel server: one thread, every answer numbered. RADI carries the number in its
// transponder and ADF fields (four digits each), HSI in its DME 1 and autopilot altitude fields
// (five each).
class PanelServer {
 public:
  static constexpr size_t kMaxAnswers = 1 << 22;
  std::vector<std::atomic<int64_t>> sentAt = std::vector<std::atomic<int64_t>>(kMaxAnswers);
  std::atomic<long> requests{0};

  PanelServer() : acceptor_(io_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) { Accept(); }
  int Port() const { return acceptor_.local_endpoint().port(); }
  void Run() { thread_ = std::thread([this] { io_.run(); }); }
  void Stop() {
    io_.stop();
    thread_.join();
  }

 private:
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
    c->socket.async_read_some(asio::buffer(c->buffer), [this, c](boost::system::error_code error, size_t n) {
      if (error) return;
      const std::string request(c->buffer + std::min<size_t>(2, n), c->buffer + n);
      const long seq = next_++ % static_cast<long>(kMaxAnswers);
      char line[256];
      if (request == "RADI") {
        std::snprintf(line, sizeof line, " 12.3:  0.0:%04ld:118.25:121.50:110.90:113.90:111.30:109.00:%04ld:10010000:119.10:124.85:\r\n",
                      seq / 10000, seq % 10000);
      } else if (request == "HSI") {
        std::snprintf(line, sizeof line, "27160:00000:000:%05ld:00000:000:000:000:000:0:0:0000000:%05ld:+0000:000:270:05:-----:-----:-----:00000:000:000:\r\n",
                      seq / 100000, seq % 100000);
      } else {
        std::snprintf(line, sizeof line, "2.01b\r\n");
      }
      ++requests;
      c->answer = line;
      sentAt[seq] = Micros();
      asio::async_write(c->socket, asio::buffer(c->answer), [this, c](boost::system::error_code error, size_t) {
        if (!error) Read(c);
      });
    });
  }

  asio::io_context io_;
  tcp::acceptor acceptor_;
  std::thread thread_;
  long next_ = 0;
};

long SequenceOf(const std::string& code, const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, ':');) fields.push_back(field);
  if (code == "RADI" && fields.size() > 9) return std::stol(fields[2]) * 10000 + std::stol(fields[9]);
  if (code == "HSI" && fields.size() > 12) return std::stol(fields[3]) * 100000 + std::stol(fields[12]);
  return -1;
}

// One page: subscribes, then notes how late each message came.
class Page : public std::enable_shared_from_this<Page> {
 public:
  Page(asio::io_context& io, PanelServer& server, std::vector<int64_t>& latencies, std::atomic<bool>& measuring)
      : ws_(io), server_(server), latencies_(latencies), measuring_(measuring) {}

  void Start(int port, double hz) {
    beast::get_lowest_layer(ws_).connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    ws_.set_option(beast::websocket::stream_base::decorator([port](beast::websocket::request_type& request) {
      request.set(beast::http::field::origin, "http://127.0.0.1:" + std::to_string(port));
    }));
    ws_.handshake("127.0.0.1:" + std::to_string(port), "/stream");
    ws_.write(asio::buffer(nlohmann::json{{"subscribe", {"RADI", "HSI"}}, {"hz", hz}}.dump()));
    Read();
  }
  long messages = 0;

 private:
  void Read() {
    ws_.async_read(buffer_, [self = shared_from_this()](boost::system::error_code error, size_t) {
      if (error) return;
      const int64_t now = Micros();
      // Fifty pages' messages come at once and are read one after the other here: a full JSON
      // parse of each would count against the later pages.
      const std::string message = beast::buffers_to_string(self->buffer_.data());
      self->buffer_.consume(self->buffer_.size());
      if (self->measuring_ && message.rfind("{\"code\"", 0) == 0) {
        const size_t line = message.find("\"line\":\"") + 8;
        const std::string code = message.substr(9, message.find('"', 9) - 9);
        const long seq = SequenceOf(code, message.substr(line, message.find('"', line) - line));
        if (seq >= 0) self->latencies_.push_back(now - self->server_.sentAt[seq]);
        ++self->messages;
      }
      self->Read();
    });
  }
  beast::websocket::stream<beast::tcp_stream> ws_;
  beast::flat_buffer buffer_;
  PanelServer& server_;
  std::vector<int64_t>& latencies_;
  std::atomic<bool>& measuring_;
};

// tavelor-web as a child process; its port from the line it prints.
pid_t StartWeb(const std::string& path, int panelPort, int* port) {
  int out[2];
  if (pipe(out) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    const std::string server = "127.0.0.1:" + std::to_string(panelPort);
    execl(path.c_str(), path.c_str(), "--server", server.c_str(), "--bind", "127.0.0.1", "--port", "0", nullptr);
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char c;
  while (read(out[0], &c, 1) == 1) {
    text += c;
    const size_t at = text.find("http://127.0.0.1:");
    if (c == '\n' && at != std::string::npos) {
      *port = std::atoi(text.c_str() + at + 17);
      break;
    }
  }
  return pid;  // its later output goes into the pipe, unread: it is short
}

double CpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string skip;
  long user = 0, system = 0;
  for (int i = 3; i <= 13; ++i) fields >> skip;
  fields >> user >> system;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int64_t Percentile(std::vector<int64_t>& values, double p) {
  if (values.empty()) return 0;
  const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
  return values[at];
}

}  // namespace

int main(int argc, char** argv) {
  int pages = 50;
  double hz = 10, seconds = 10;
  std::string web = TAVELOR_WEB_BIN;
  tavelor::cli::CommandLine line("tavelor-web-bench",
                                 "Measures tavelor-web with pages subscribed to RADI and HSI, in "
                                 "front of a stand-in panel server.");
  line.Whole("--pages", "N", &pages, 1, 100000, "a number from 1", "pages (default 50)");
  line.Real("--hz", "HZ", &hz, 0.01, 1000, "a rate from 0.01 to 1000",
            "each page's subscriptions a second (default 10)");
  line.Real("--seconds", "S", &seconds, 0.1, 1e6, "seconds from 0.1", "length (default 10)");
  line.Text("--web", "PATH", &web, "a path", "the tavelor-web to measure");
  if (const int status = line.Parse(argc, argv, std::cout, std::cerr); status >= 0) return status;

  PanelServer server;
  server.Run();
  int port = 0;
  const pid_t child = StartWeb(web, server.Port(), &port);
  if (child < 0 || port == 0) {
    std::cerr << "tavelor-web-bench: tavelor-web did not start (" << web << ")\n";
    return 1;
  }
  asio::io_context io;
  std::vector<int64_t> latencies;
  std::atomic<bool> measuring{false};
  std::vector<std::shared_ptr<Page>> all;
  for (int i = 0; i < pages; ++i) {
    all.push_back(std::make_shared<Page>(io, server, latencies, measuring));
    all.back()->Start(port, hz);
  }
  std::thread load([&] { io.run(); });
  std::this_thread::sleep_for(std::chrono::seconds(2));  // every page served once, the rates settled
  const long requestsBefore = server.requests;
  const double cpuBefore = CpuSeconds(child);
  measuring = true;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  measuring = false;
  const long requests = server.requests - requestsBefore;
  const double cpu = CpuSeconds(child) - cpuBefore;
  io.stop();
  load.join();
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  server.Stop();

  long messages = 0;
  for (const auto& page : all) messages += page->messages;
  std::printf("%d pages, RADI and HSI at %g Hz, %g s\n", pages, hz, seconds);
  std::printf("requests reaching the panel port  %8.1f /s  (each page asking for itself: %g /s)\n",
              static_cast<double>(requests) / seconds, pages * 2 * hz);
  std::printf("messages to the pages             %8.1f /s\n", static_cast<double>(messages) / seconds);
  std::printf("answer to page message, p50       %8lld us\n", static_cast<long long>(Percentile(latencies, 0.50)));
  std::printf("answer to page message, p99       %8lld us\n", static_cast<long long>(Percentile(latencies, 0.99)));
  std::printf("tavelor-web's processor time      %8.1f %%\n", 100 * cpu / seconds);
  return 0;
}
