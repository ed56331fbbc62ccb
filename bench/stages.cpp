// tavelor-stage-bench: where a request's time goes inside the server, stage by stage, as
// `tavelor-server --sim` serves it: reading the request off its TCP connection, the exchange
// with the stand-in simulator running on its own thread in the same process, building the reply
// line, and writing it. The server's own code does each stage (the dispatcher, the link, the
// stand-in, the socket calls the event loop makes); only the clock readings are the bench's.
// It prints the median and the 99th percentile of each, in microseconds, per request code.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "core/request_state.h"
#include "core/request_text.h"
#include "server/request.h"
#include "sim/posix/sim_server.h"
#include "simlink/ipc_client.h"
#include "app/posix/in_process_transport.h"
#include "simlink/posix/ipc_folder.h"
#include "simlink/posix/posix_transport.h"

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// A link's transport with a stopwatch on its one message: the exchange proper.
template <typename Base>
class Timed : public Base {
 public:
  using Base::Base;
  Clock::duration inExchange{};
  bool SendMessageTimeout(tavelor::WindowRef window, uint32_t message, uint16_t atom, uint32_t timeoutMs,
                          uint32_t* result) override {
    const auto start = Clock::now();
    const bool sent = Base::SendMessageTimeout(window, message, atom, timeoutMs, result);
    inExchange += Clock::now() - start;
    return sent;
  }
};

struct Stages {
  std::vector<double> read, exchange, build, write, whole;
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

// A connected pair on loopback: the panel's end and the server's.
bool Connect(int* panel, int* server) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return false;
  *panel = ::socket(AF_INET, SOCK_STREAM, 0);
  if (::connect(*panel, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
  *server = ::accept(listener, nullptr, nullptr);
  ::close(listener);
  const int on = 1;
  ::setsockopt(*panel, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::setsockopt(*server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return *server >= 0;
}

// Times `requests` requests of `code` over the link `transport` gives, and prints a row.
template <typename Transport>
bool Measure(const std::string& code, const char* name, Transport& transport, int panel, int server,
             long requests) {
  tavelor::IpcClient link(&transport);
  tavelor::RequestState state(link);
  if (!tavelor::IpcOpen(link, 0)) {
    std::cerr << "tavelor-stage-bench: no link to the stand-in\n";
    return false;
  }
  const std::string request = "xx" + code;
  std::vector<char> buffer(1 << 16);
  Stages stages;
  for (long i = -200; i < requests; ++i) {  // the first 200 warm up
    if (::send(panel, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size())) return false;
    const auto start = Clock::now();
    int waiting = 0;
    ::ioctl(server, FIONREAD, &waiting);  // as the event loop asks how much is waiting
    const ssize_t n = ::recv(server, buffer.data(), buffer.size(), 0);
    if (n <= 0) return false;
    const std::string received(buffer.data(), static_cast<size_t>(n));
    const auto read = Clock::now();
    transport.inExchange = {};
    const std::optional<std::string> reply = tavelor::ServeRequest(state, received);
    const auto built = Clock::now();
    if (reply && ::send(server, reply->data(), reply->size(), MSG_NOSIGNAL) != static_cast<ssize_t>(reply->size()))
      return false;
    const auto written = Clock::now();
    for (size_t got = 0; reply && got < reply->size();) {
      const ssize_t m = ::recv(panel, buffer.data(), buffer.size(), 0);
      if (m <= 0) return false;
      got += static_cast<size_t>(m);
    }
    if (i < 0) continue;
    stages.read.push_back(Micros(read - start));
    stages.exchange.push_back(Micros(transport.inExchange));
    stages.build.push_back(Micros(built - read - transport.inExchange));
    stages.write.push_back(Micros(written - built));
    stages.whole.push_back(Micros(written - start));
  }
  tavelor::IpcClose(link);
  const auto pair = [](const std::vector<double>& v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f / %.1f", Percentile(v, 0.5), Percentile(v, 0.99));
    return std::string(text);
  };
  std::printf("%-6s %-10s %9ld  %17s %17s %17s %17s %17s\n", code.c_str(), name, requests, pair(stages.read).c_str(),
              pair(stages.exchange).c_str(), pair(stages.build).c_str(), pair(stages.write).c_str(),
              pair(stages.whole).c_str());
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> codes{"RADI", "MAPS", "V177"};
  long requests = 20000;
  tavelor::cli::CommandLine line("tavelor-stage-bench",
                                 "Times each stage of a request inside the server, with its stand-in in-process.");
  line.Value("--codes", "LIST", "request codes, comma-separated", [&codes](const std::string& text) {
    codes.clear();
    for (size_t start = 0; start <= text.size();) {
      const size_t comma = std::min(text.find(',', start), text.size());
      if (comma > start) codes.push_back(text.substr(start, comma - start));
      start = comma + 1;
    }
    return !codes.empty();
  }, "request codes, comma-separated (default RADI,MAPS,V177)");
  line.Whole("--requests", "N", &requests, 100, 100000000, "a number from 100", "requests per code (default 20000)");
  if (const int status = line.Parse(argc, argv, std::cout, std::cerr); status >= 0) return status;

  char folder[] = "/tmp/tavelor-stage-bench-XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  ::setenv("TAVELOR_IPC_DIR", (std::string(folder) + "/ipc").c_str(), 1);
  if (const std::string problem = tavelor::posixipc::CheckIpcFolder(tavelor::posixipc::IpcDir(), true); !problem.empty()) {
    std::cerr << "tavelor-stage-bench: " << problem << "\n";
    return 1;
  }
  tavelor::sim::SimOptions simOptions;
  simOptions.controlPort = 0;
  tavelor::sim::SimServer sim(simOptions);
  std::string error;
  if (!sim.Open(&error)) {
    std::cerr << "tavelor-stage-bench: the stand-in cannot start: " << error << "\n";
    return 1;
  }
  sim.Start();
  int panel = -1, server = -1;
  if (!Connect(&panel, &server)) {
    std::cerr << "tavelor-stage-bench: no loopback connection\n";
    return 1;
  }
  std::printf("%-6s %-10s %9s  %17s %17s %17s %17s %17s\n", "code", "link", "requests", "read p50/p99",
              "exchange p50/p99", "build p50/p99", "write p50/p99", "all p50/p99");
  // The same requests over the socket (how an outside simulator, and the stand-in before,
  // were reached) and handed over in-process (how tavelor-server --sim reaches its own).
  Timed<tavelor::PosixTransport> socket;
  Timed<tavelor::InProcessTransport> inProcess(sim);
  for (const std::string& code : codes) {
    if (!Measure(code, "socket", socket, panel, server, requests) ||
        !Measure(code, "in-process", inProcess, panel, server, requests))
      return 1;
  }
  sim.Stop();
  std::filesystem::remove_all(folder);
  return 0;
}
