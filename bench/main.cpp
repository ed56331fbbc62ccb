// tavelor-bench: latency and throughput of tavelor-server for a list of request codes, each
// measured beside a zero-work echo server that answers the same number of bytes over the same
// loopback. See the README's section on the benchmark for how to read the table.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/echo.h"
#include "bench/load.h"
#include "recording/recording_reader.h"
#include "cli/command_line.h"

namespace {

using namespace tavelor::bench;
using std::chrono::milliseconds;

struct Options {
  std::vector<std::string> codes{"RADI", "V177", "DTPA", "C172"};
  std::string server = TAVELOR_SERVER_BIN;
  int port = 0;
  double seconds = 2;
  int clients = 8;
  int openClients = 50;
  double rate = 20;
  double openSeconds = 5;
  int storm = 100;
  int idle = 10000;
  long rssRequests = 1000000;
  int serverCpu = 0;
  int loadCpu = 1;
  bool noPin = false;
  bool fly = false;
  bool record = false;
};

std::vector<std::string> SplitCodes(const std::string& text) {
  std::vector<std::string> codes;
  std::stringstream in(text);
  for (std::string code; std::getline(in, code, ',');)
    if (!code.empty()) codes.push_back(code);
  return codes;
}

// The command line into *o: -1 to go on, else the status to end with.
int ParseOptions(int argc, char** argv, Options* o) {
  tavelor::cli::CommandLine line(
      "tavelor-bench",
      "Measures tavelor-server beside a zero-work echo server of the same reply size.");
  const long long kMany = 1000000000;
  line.Value("--codes", "LIST", "request codes, comma-separated", [o](const std::string& text) {
    o->codes = SplitCodes(text);
    return !o->codes.empty();
  }, "request codes, comma-separated (default RADI,V177,DTPA,C172)");
  line.Text("--server", "PATH", &o->server, "a path",
            "tavelor-server to start with its stand-in simulator inside");
  line.Port("--port", "N", &o->port, 0, "measure a server already running on 127.0.0.1:N instead");
  line.Real("--seconds", "S", &o->seconds, 0, 1e6, "seconds from 0",
            "length of each closed-loop case (default 2)");
  line.Whole("--clients", "N", &o->clients, 1, kMany, "a number from 1",
             "connections of the busy closed-loop case (default 8)");
  line.Whole("--open-clients", "N", &o->openClients, 1, kMany, "a number from 1",
             "connections of the open-loop case (default 50)");
  line.Real("--rate", "HZ", &o->rate, 1e-3, 1e6, "a rate above 0",
            "requests per second of each of them (default 20)");
  line.Real("--open-seconds", "S", &o->openSeconds, 0, 1e6, "seconds from 0",
            "length of the open-loop case (default 5)");
  line.Whole("--storm", "N", &o->storm, 0, kMany, "a number from 0",
             "clients of the connect storm (default 100, 0 skips it)");
  line.Whole("--idle", "N", &o->idle, 0, kMany, "a number from 0",
             "idle connections of the idle case (default 10000, 0 skips it)");
  line.Whole("--rss-requests", "N", &o->rssRequests, 0, kMany, "a number from 0",
             "requests before the server's memory is read (default 1000000,\n"
             "0 skips it; only for a server the benchmark started)");
  line.Whole("--server-cpu", "N", &o->serverCpu, 0, 4095, "a processor number",
             "processor for the server and the echo (default 0)");
  line.Whole("--load-cpu", "N", &o->loadCpu, 0, 4095, "a processor number",
             "processor for the load (default 1)");
  line.Flag("--no-pin", &o->noPin, "do not pin anything");
  line.Flag("--fly", &o->fly, "the server's stand-in flies its circuit instead of standing parked");
  line.Flag("--record", &o->record,
            "the server records every exchange (in its private folder); the\n"
            "recording's size is printed at the end");
  return line.Parse(argc, argv, std::cout, std::cerr);
}

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

// tavelor-server --sim in a private IPC folder, its log in a file there.
class StartedServer {
 public:
  StartedServer(const std::string& binary, int cpu, bool fly, bool record) {
    char pattern[] = "/tmp/tavelor-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return;
    folder_ = pattern;
    port_ = FreePort();
    const std::string log = folder_ + "/server.log";
    pid_ = ::fork();
    if (pid_ == 0) {
      PinTo(cpu);
      ::setenv("TAVELOR_IPC_DIR", (folder_ + "/ipc").c_str(), 1);
      if (!std::freopen(log.c_str(), "w", stdout) || !std::freopen(log.c_str(), "a", stderr))
        ::_exit(127);
      const std::string port = std::to_string(port_);
      const std::string recording = Recording();
      std::vector<const char*> argv = {binary.c_str(), "--sim", "--sim-control", "0", "--bind", "127.0.0.1",
                                       "--port", port.c_str()};
      if (fly) argv.push_back("--fly");
      if (record) argv.insert(argv.end(), {"--record", recording.c_str()});
      argv.push_back(nullptr);
      ::execv(binary.c_str(), const_cast<char* const*>(argv.data()));
      ::_exit(127);
    }
    for (int i = 0; i < 200 && pid_ > 0; ++i) {
      std::ifstream in(log);
      std::stringstream text;
      text << in.rdbuf();
      if (text.str().find("- IP: ") != std::string::npos) {
        ready_ = true;
        break;
      }
      std::this_thread::sleep_for(milliseconds(50));
    }
  }
  ~StartedServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  bool Ready() const { return ready_; }
  int Port() const { return port_; }
  std::string Recording() const { return folder_ + "/bench.tvr"; }
  // Resident memory in KiB, from the kernel's status of the process; -1 when unknown.
  long RssKiB() const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(in, line);)
      if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
  }

 private:
  std::string folder_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool ready_ = false;
};

struct Case {
  std::string name;
  std::string request;
  size_t bytes;
};

void PrintHeader() {
  std::printf("%-22s %5s | %26s %8s | %26s %8s | %5s %5s %5s\n", "case", "bytes",
              "server p50/p99/p999 (us)", "req/s", "echo p50/p99/p999 (us)", "req/s", "p50x",
              "p99x", "p999x");
}

std::string Triple(const Percentiles& p) {
  char text[64];
  std::snprintf(text, sizeof text, "%.0f / %.0f / %.0f", p.p50, p.p99, p.p999);
  return text;
}

void PrintRow(const Case& c, const Result& server, const Result& echo) {
  const Percentiles s = Summarize(server.latencyUs), e = Summarize(echo.latencyUs);
  auto rate = [](const Result& r) {
    return r.seconds > 0 ? static_cast<double>(r.latencyUs.size()) / r.seconds : 0.0;
  };
  auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
  std::printf("%-22s %5zu | %26s %8.0f | %26s %8.0f | %5.2f %5.2f %5.2f", c.name.c_str(), c.bytes,
              Triple(s).c_str(), rate(server), Triple(e).c_str(), rate(echo),
              ratio(s.p50, e.p50), ratio(s.p99, e.p99), ratio(s.p999, e.p999));
  if (server.failures || echo.failures)
    std::printf("  (failures: server %zu, echo %zu)", server.failures, echo.failures);
  std::printf("\n");
  std::fflush(stdout);
}

// The recording's size, and what an exchange cost on average.
void PrintRecording(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string file = bytes.str();
  tavelor::recording::RecordingReader reader(file);
  std::string error;
  size_t exchanges = 0;
  tavelor::recording::RecordedExchange exchange;
  if (reader.Open(&error)) {
    while (reader.Next(&exchange)) ++exchanges;
  }
  std::printf("recording: %zu bytes, %zu exchanges, %.1f bytes an exchange%s%s\n", file.size(), exchanges,
              exchanges ? static_cast<double>(file.size()) / static_cast<double>(exchanges) : 0.0,
              error.empty() ? "" : "; ", error.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int status = ParseOptions(argc, argv, &options); status >= 0) return status;
  ::signal(SIGPIPE, SIG_IGN);
  // The idle case holds its connections here, the server its own; the server's limit follows
  // this one, as it is started from here.
  std::string idleSkipped;
  if (options.idle > 0 && !RaiseOpenFilesLimit(static_cast<uint64_t>(options.idle) + 1024)) {
    idleSkipped = "the open-files limit cannot be raised to " +
                  std::to_string(options.idle + 1024) + " (run as root, or raise it first)";
    options.idle = 0;
  }
  const bool pin = !options.noPin && std::thread::hardware_concurrency() > 1;
  const int serverCpu = pin ? options.serverCpu : -1;

  std::unique_ptr<StartedServer> started;
  int port = options.port;
  if (port == 0) {
    started = std::make_unique<StartedServer>(options.server, serverCpu, options.fly, options.record);
    if (!started->Ready()) {
      std::cerr << "tavelor-bench: " << options.server << " did not start\n";
      return 1;
    }
    port = started->Port();
  }
  if (pin && !PinTo(options.loadCpu)) std::cerr << "tavelor-bench: cannot pin the load\n";
  std::printf("tavelor-bench: server %s on 127.0.0.1:%d, %s\n",
              started ? "started with --sim" : "already running", port,
              pin ? ("server and echo on cpu " + std::to_string(options.serverCpu) +
                     ", load on cpu " + std::to_string(options.loadCpu)).c_str()
                  : "not pinned");

  const auto closed = milliseconds(static_cast<long>(options.seconds * 1000));
  const auto open = milliseconds(static_cast<long>(options.openSeconds * 1000));
  PrintHeader();
  std::string firstRequest;
  size_t firstBytes = 0;
  for (const std::string& code : options.codes) {
    const std::string request = "xx" + code;
    const size_t bytes = AskOnce(port, request, milliseconds(3000)).size();
    if (bytes == 0) {
      std::printf("%-22s   (no answer: a command, or an unknown code; skipped)\n", code.c_str());
      continue;
    }
    if (firstRequest.empty()) firstRequest = request, firstBytes = bytes;
    EchoServer echo(bytes, serverCpu);
    if (!echo.Running()) {
      std::cerr << "tavelor-bench: the echo server did not start\n";
      return 1;
    }
    const std::vector<Case> cases = {
        {code + " closed x1", request, bytes},
        {code + " closed x" + std::to_string(options.clients), request, bytes},
        {code + " open " + std::to_string(options.openClients) + "x" +
             std::to_string(static_cast<int>(options.rate)) + "Hz",
         request, bytes},
    };
    PrintRow(cases[0], ClosedLoop(port, request, bytes, 1, closed),
             ClosedLoop(echo.Port(), request, bytes, 1, closed));
    PrintRow(cases[1], ClosedLoop(port, request, bytes, options.clients, closed),
             ClosedLoop(echo.Port(), request, bytes, options.clients, closed));
    PrintRow(cases[2], OpenLoop(port, request, bytes, options.openClients, options.rate, open),
             OpenLoop(echo.Port(), request, bytes, options.openClients, options.rate, open));
  }

  // Before the idle case: the server works through the closing of its connections for a while
  // after they are gone, and the storm would measure that.
  if (options.storm > 0 && !firstRequest.empty()) {
    EchoServer echo(firstBytes, serverCpu);
    const Case storm{firstRequest.substr(2) + " storm " + std::to_string(options.storm),
                     firstRequest, firstBytes};
    PrintRow(storm, ConnectStorm(port, firstRequest, firstBytes, options.storm, milliseconds(10000)),
             ConnectStorm(echo.Port(), firstRequest, firstBytes, options.storm, milliseconds(10000)));
  }

  if (!idleSkipped.empty()) std::printf("idle case skipped: %s\n", idleSkipped.c_str());
  if (options.idle > 0 && !firstRequest.empty()) {
    EchoServer echo(firstBytes, serverCpu);
    const std::string code = firstRequest.substr(2);
    const Case none{code + " idle 0", firstRequest, firstBytes};
    const Result server0 = ClosedLoop(port, firstRequest, firstBytes, 1, closed);
    PrintRow(none, server0, ClosedLoop(echo.Port(), firstRequest, firstBytes, 1, closed));
    // The echo stays without them: the yardstick is a bare round trip.
    IdleConnections atServer(port, options.idle);
    // Answered behind them in the listen queue: the server has taken every one of them.
    AskOnce(port, firstRequest, milliseconds(10000));
    const Case crowd{code + " idle " + std::to_string(atServer.Open()), firstRequest, firstBytes};
    const Result serverN = ClosedLoop(port, firstRequest, firstBytes, 1, closed);
    PrintRow(crowd, serverN, ClosedLoop(echo.Port(), firstRequest, firstBytes, 1, closed));
    std::printf("%s p50 with %zu idle connections: %.2f times that with none\n", code.c_str(),
                atServer.Open(), Summarize(serverN.latencyUs).p50 / Summarize(server0.latencyUs).p50);
  }

  if (started && options.rssRequests > 0 && !firstRequest.empty()) {
    const long before = started->RssKiB();
    const Result soak = ClosedLoop(port, firstRequest, firstBytes, 4, std::chrono::hours(1),
                                   static_cast<uint64_t>(options.rssRequests));
    std::printf("server memory: %.1f MB resident before, %.1f MB after %zu more %s requests\n",
                before / 1024.0, started->RssKiB() / 1024.0, soak.latencyUs.size(),
                firstRequest.substr(2).c_str());
  }
  if (started && options.record) PrintRecording(started->Recording());
  return 0;
}
