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

#include "bench/numbered_panel_server.h"
#include "cli/command_line.h"

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
using tcp = asio::ip::tcp;
using tavelor::bench::CpuSeconds;
using tavelor::bench::Micros;
using tavelor::bench::Percentile;
using PanelServer = tavelor::bench::NumberedPanelServer;

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
        const long seq = PanelServer::SequenceOf(code, message.substr(line, message.find('"', line) - line));
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
