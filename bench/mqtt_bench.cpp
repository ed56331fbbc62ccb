// tavelor-mqtt-bench: how late tavelor-mqtt's values reach a crowd of boards, and what it costs.
// Three runs, each with a Mosquitto broker of its own on a free loopback port:
//   1. latency: tavelor-mqtt in front of a stand-in panel server whose every RADI answer carries a
//      new number in its ADF field; N subscribers to that field's topic note how long after the
//      panel server wrote the answer its number reached each of them (p50, p99, max);
//   2. flying: the real stand-in flying its circuit (tavelor-server --sim --fly), every panel
//      reply followed at 10 Hz: tavelor-mqtt's processor time and the messages it publishes;
//   3. parked: the same with the aircraft parked: what it publishes once the first values are out.
#include <mosquitto.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bench/numbered_panel_server.h"
#include "cli/command_line.h"

namespace {

using namespace tavelor::bench;

int FreePort() {
  boost::asio::io_context io;
  boost::asio::ip::tcp::acceptor probe(io, {boost::asio::ip::make_address("127.0.0.1"), 0});
  return probe.local_endpoint().port();
}

// A child with its output thrown away; the environment gets `env` ("NAME=VALUE") too.
pid_t Spawn(std::vector<std::string> argv, const std::string& env = "") {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    if (!env.empty()) putenv(const_cast<char*>(env.c_str()));
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  return pid;
}

void End(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// A broker for this computer only.
struct Broker {
  int port = FreePort();
  std::string config = "/tmp/tavelor-mqtt-bench-" + std::to_string(getpid()) + ".conf";
  pid_t pid = -1;
  Broker() {
    FILE* file = std::fopen(config.c_str(), "w");
    std::fprintf(file, "listener %d 127.0.0.1\nallow_anonymous true\npersistence false\nmax_queued_messages 100000\n", port);
    std::fclose(file);
    pid = Spawn({"/usr/sbin/mosquitto", "-c", config});
    usleep(300000);
  }
  ~Broker() {
    End(pid);
    std::remove(config.c_str());
  }
};

// Boards: MQTT clients served one after the other on this thread, each subscribed to `topic`.
class Boards {
 public:
  Boards(int count, int port, const std::string& topic) {
    mosquitto_lib_init();
    for (int i = 0; i < count; ++i) {
      mosquitto* board = mosquitto_new(nullptr, true, this);
      mosquitto_message_callback_set(board, [](mosquitto*, void* self, const mosquitto_message* m) {
        static_cast<Boards*>(self)->Heard(std::string(static_cast<const char*>(m->payload), m->payloadlen));
      });
      if (mosquitto_connect(board, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS) {
        std::cerr << "tavelor-mqtt-bench: a board cannot connect to the broker\n";
        std::exit(1);
      }
      mosquitto_subscribe(board, nullptr, topic.c_str(), 0);
      boards_.push_back(board);
    }
  }
  ~Boards() {
    for (mosquitto* board : boards_) mosquitto_destroy(board);
  }
  // Serves every board for `seconds`; `heard` gets each payload with the moment it came.
  void Serve(double seconds, std::function<void(const std::string&, int64_t)> heard) {
    heard_ = std::move(heard);
    const int64_t end = Micros() + static_cast<int64_t>(seconds * 1e6);
    int64_t misc = 0;
    while (Micros() < end) {
      std::vector<pollfd> fds;
      for (mosquitto* board : boards_) {
        fds.push_back({mosquitto_socket(board), static_cast<short>(POLLIN | (mosquitto_want_write(board) ? POLLOUT : 0)), 0});
      }
      poll(fds.data(), fds.size(), 10);
      for (size_t i = 0; i < boards_.size(); ++i) {
        if (fds[i].revents & POLLIN) mosquitto_loop_read(boards_[i], 64);
        if (fds[i].revents & POLLOUT) mosquitto_loop_write(boards_[i], 64);
      }
      if (Micros() - misc > 1000000) {
        for (mosquitto* board : boards_) mosquitto_loop_misc(board);
        misc = Micros();
      }
    }
  }

 private:
  void Heard(const std::string& payload) {
    if (heard_) heard_(payload, Micros());
  }
  std::vector<mosquitto*> boards_;
  std::function<void(const std::string&, int64_t)> heard_;
};

// tavelor-mqtt's processor time over `seconds` while boards hear what it publishes, as a share
// of one core; *messages gets how many they heard in that time.
double BridgeShare(pid_t bridge, Boards& boards, double seconds, long* messages) {
  *messages = 0;
  boards.Serve(3, nullptr);  // the first values out, the rates settled
  const double before = CpuSeconds(bridge);
  boards.Serve(seconds, [messages](const std::string&, int64_t) { ++*messages; });
  return 100 * (CpuSeconds(bridge) - before) / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  int subscribers = 100;
  double seconds = 20, hz = 10;
  std::string mqtt = TAVELOR_MQTT_BIN, server = TAVELOR_SERVER_BIN;
  tavelor::cli::CommandLine line("tavelor-mqtt-bench",
                                 "Measures tavelor-mqtt with a Mosquitto broker on this computer: how late a changed "
                                 "value reaches many boards, and its processor time with the stand-in flying and parked.");
  line.Whole("--subscribers", "N", &subscribers, 1, 1000, "a number from 1 to 1000", "boards (default 100)");
  line.Real("--seconds", "S", &seconds, 1, 3600, "seconds from 1", "length of each run (default 20)");
  line.Real("--hz", "HZ", &hz, 0.1, 20, "a rate from 0.1 to 20", "tavelor-mqtt's rate (default 10)");
  if (const int status = line.Parse(argc, argv, std::cout, std::cerr); status >= 0) return status;
  signal(SIGPIPE, SIG_IGN);
  char rate[16];
  std::snprintf(rate, sizeof rate, "%g", hz);

  {  // 1. latency
    NumberedPanelServer panel;
    panel.Run();
    Broker broker;
    const pid_t bridge = Spawn({mqtt, "--server", "127.0.0.1:" + std::to_string(panel.Port()), "--broker",
                                "127.0.0.1:" + std::to_string(broker.port), "--follow", "RADI", "--hz", rate});
    Boards boards(subscribers, broker.port, "tavelor/RADI/adf_mod1000");
    boards.Serve(3, nullptr);
    // The ADF field holds the answer's number modulo 10000: a run is far shorter than 10000 answers.
    std::vector<int64_t> latencies;
    const long firstRequest = panel.requests;
    const double cpuBefore = CpuSeconds(bridge);
    boards.Serve(seconds, [&](const std::string& payload, int64_t now) {
      const long adf = std::atol(payload.c_str());
      for (long seq = adf; seq < static_cast<long>(NumberedPanelServer::kMaxAnswers); seq += 10000) {
        if (seq >= firstRequest - 100 && panel.sentAt[seq] > 0) {
          latencies.push_back(now - panel.sentAt[seq]);
          break;
        }
      }
    });
    const double cpu = 100 * (CpuSeconds(bridge) - cpuBefore) / seconds;
    End(bridge);
    panel.Stop();
    std::printf("%d boards subscribed to one RADI field, tavelor-mqtt at %s Hz, %g s\n", subscribers, rate, seconds);
    std::printf("  values heard                          %8zu (%.1f a board a second)\n", latencies.size(),
                static_cast<double>(latencies.size()) / subscribers / seconds);
    std::printf("  answer to board, p50                  %8.1f ms\n", Percentile(latencies, 0.50) / 1000.0);
    std::printf("  answer to board, p99                  %8.1f ms\n", Percentile(latencies, 0.99) / 1000.0);
    std::printf("  answer to board, max                  %8.1f ms\n", Percentile(latencies, 1.0) / 1000.0);
    std::printf("  tavelor-mqtt's processor time         %8.2f %% of one core\n", cpu);
  }
  for (const bool fly : {true, false}) {  // 2. flying, 3. parked
    Broker broker;
    const int port = FreePort();
    char ipc[] = "/tmp/tavelor-mqtt-bench-XXXXXX";
    if (!mkdtemp(ipc)) return 1;
    std::vector<std::string> serverArgs = {server, "--sim", "--bind", "127.0.0.1", "--port", std::to_string(port),
                                           "--sim-control", "0"};
    if (fly) serverArgs.push_back("--fly");
    const pid_t sim = Spawn(serverArgs, std::string("TAVELOR_IPC_DIR=") + ipc);
    usleep(1500000);
    const pid_t bridge = Spawn({mqtt, "--server", "127.0.0.1:" + std::to_string(port), "--broker",
                                "127.0.0.1:" + std::to_string(broker.port), "--follow", "all", "--hz", rate});
    Boards counter(1, broker.port, "tavelor/#");
    long messages = 0;
    const double share = BridgeShare(bridge, counter, seconds, &messages);
    End(bridge);
    End(sim);
    rmdir(ipc);
    std::printf("The stand-in %s, all 12 panel replies at %s Hz, %g s\n", fly ? "flying its circuit" : "parked", rate, seconds);
    std::printf("  messages published after the first 3 s %7ld (%.1f a second)\n", messages, messages / seconds);
    std::printf("  tavelor-mqtt's processor time         %8.2f %% of one core\n", share);
  }
  return 0;
}
