// tavelor-server: the server on Linux, logging to standard output. With --sim the stand-in
// simulator runs inside the process on its own thread (it is the simulator, not the server).
#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>
#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>

#include "app/client_options.h"
#include "app/tf_main.h"
#include "core/globals.h"
#include "core/log.h"
#include "server/posix/epoll_loop.h"
#include "sim/posix/sim_server.h"
#include "simlink/posix/ipc_folder.h"
#include "simlink/posix/posix_transport.h"

namespace {

constexpr const char* kUsage =
    "Usage: tavelor-server [options]\n"
    "Serves cockpit-panel clients on TCP port 9696 once the simulator link is up.\n"
    "\n"
    "  --sim               run the stand-in simulator inside this process\n"
    "  --sim-control PORT  control port of that stand-in simulator (default 9697)\n"
    "  --fly               with --sim: the stand-in aircraft flies a circuit\n"
    "  --port N            listen on port N instead of 9696\n"
    "  --bind ADDR         listen on this IPv4 address only (default: all addresses)\n"
    "  --max-clients N     serve at most N clients at once; one more is closed at once\n"
    "                      (default: what the open-files limit allows, less a reserve)\n"
    "  --idle-timeout S    close a client that sent nothing for S seconds (default 0: never)\n"
    "  --debug             start with debug logging on (SIGUSR1 toggles it)\n"
    "  --connect-now       look for the simulator at once, not a second after start\n"
    "  --version           show the version\n"
    "  --help              show this text\n"
    "\n"
    "SIGINT or SIGTERM closes the server.\n";

struct Options {
  bool sim = false;
  bool fly = false;
  int simControl = 9697;
  int port = tavelor::kServerPort;
  std::string bind;
  bool debug = false;
  bool maxClientsGiven = false;
  tavelor::ClientLimits clients;
  bool connectNow = false;
};

// What the open-files limit allows, less what the server itself keeps open.
uint64_t DefaultMaxClients(bool standInInside) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return tavelor::kMostClientsOption;
  return std::min<uint64_t>(tavelor::MaxClientsFor(limit.rlim_cur, standInInside),
                            tavelor::kMostClientsOption);
}

bool ParsePort(const char* text, int* port) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (!*text || *end || value < 0 || value > 65535) return false;
  *port = static_cast<int>(value);
  return true;
}

int BadOption(const std::string& message) {
  std::cerr << "tavelor-server: " << message << "\nTry 'tavelor-server --help'.\n";
  return 2;
}

std::string ExecutableFolder() {
  char path[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "./";
  std::string text(path, static_cast<size_t>(n));
  return text.substr(0, text.rfind('/') + 1);
}

void OnSignal(int signal) {
  if (signal == SIGUSR1) tavelor::EpollLoop::RequestDebugToggle();
  else tavelor::EpollLoop::RequestQuit();
}

// The console stands in for the window: the log goes to standard output, one line per event;
// there is no caption, position or button to show, so the switch's new caption is logged. A
// start error (the panel port cannot be bound or listened on) ends the program: a console
// server that never listens helps nobody, while the window at least shows its box.
class ConsoleView : public tavelor::MainView {
 public:
  bool failed = false;
  void SetCaption(const std::string&) override {}
  void SetDebugCaption(const std::string& caption) override { AppendLog("- " + caption); }
  void MoveToTopLeft() override {}
  void ShowError(const std::string& text) override {
    std::cerr << "tavelor-server: " << text << "\n";
    failed = true;
    tavelor::EpollLoop::RequestQuit();
  }
  void AppendLog(const std::string& logLine) override {
    const std::string line = tavelor::ConsoleSafeText(logLine);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::vector<std::string> args(argv, argv + argc);
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    size_t at = static_cast<size_t>(i);
    std::string problem;
    const tavelor::ClientOption client = tavelor::ReadClientOption(args, &at, &options.clients, &problem);
    if (client == tavelor::ClientOption::kBad) return BadOption(problem);
    if (client == tavelor::ClientOption::kTaken) {
      options.maxClientsGiven = options.maxClientsGiven || arg == "--max-clients";
      i = static_cast<int>(at);
      continue;
    }
    auto value = [&](const char** out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    const char* text = nullptr;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "tavelor-server " << tavelor::AppVersion << "\n";
      return 0;
    } else if (arg == "--sim") {
      options.sim = true;
    } else if (arg == "--fly") {
      options.fly = true;
    } else if (arg == "--debug") {
      options.debug = true;
    } else if (arg == "--connect-now") {
      options.connectNow = true;
    } else if (arg == "--port") {
      if (!value(&text) || !ParsePort(text, &options.port) || options.port == 0)
        return BadOption("--port needs a port number from 1 to 65535");
    } else if (arg == "--sim-control") {
      if (!value(&text) || !ParsePort(text, &options.simControl))
        return BadOption("--sim-control needs a port number from 0 to 65535");
    } else if (arg == "--bind") {
      in_addr address{};
      if (!value(&text) || inet_pton(AF_INET, text, &address) != 1)
        return BadOption("--bind needs a dotted IPv4 address such as 127.0.0.1");
      options.bind = text;
    } else {
      return BadOption("unknown option '" + arg + "'");
    }
  }

  if (options.fly && !options.sim) return BadOption("--fly needs --sim (the stand-in simulator flies)");
  if (!options.maxClientsGiven) options.clients.maxClients = DefaultMaxClients(options.sim);

  // The link only ever looks for the simulator in a folder of this user's own; one that is not
  // can never be used, so say why now rather than wait silently for ever.
  const std::string ipcProblem =
      tavelor::posixipc::CheckIpcFolder(tavelor::posixipc::IpcDir(), true);
  if (!ipcProblem.empty()) {
    std::cerr << "tavelor-server: " << ipcProblem << "\n";
    return 1;
  }

  std::unique_ptr<tavelor::sim::SimServer> sim;
  if (options.sim) {
    tavelor::sim::SimServerOptions simOptions;
    simOptions.controlPort = options.simControl;
    simOptions.fly = options.fly;
    sim = std::make_unique<tavelor::sim::SimServer>(simOptions);
    std::string error;
    if (!sim->Open(&error)) {
      std::cerr << "tavelor-server: the stand-in simulator cannot start: " << error << "\n";
      return 1;
    }
    sim->Start();
  }

  if (!tavelor::EpollLoop::InstallSignalPipe()) {
    std::perror("tavelor-server: pipe");
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  // Calls a signal interrupts are taken up again: the loop's wait wakes all the same (through
  // the pipe), while a log write to a full pipe or terminal, cut short, would lose its line.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGUSR1, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  tavelor::PosixTransport transport;
  ConsoleView view;
  tavelor::EpollLoop loop(options.bind);
  if (!loop.Ready()) {
    std::perror("tavelor-server: epoll");
    return 1;
  }
  {
    tavelor::TfMain main(&view, &loop, &transport);
    loop.SetDebugToggle([&main] { main.ToggleDebug(); });
    main.SetPort(static_cast<uint16_t>(options.port));
    main.SetClientLimits(options.clients);
    main.Start(ExecutableFolder());
    main.State().DebugEnabled = options.debug;  // on from the start: no switch line logged
    // The first of the timer's attempts, made now: scripts and tests that start both programs
    // need not wait out the first second. The log is the same either way.
    if (options.connectNow) main.Tick();
    loop.Run();
    main.Close();
  }
  if (sim) sim->Stop();
  return view.failed ? 1 : 0;
}
