// tavelor-server: the server on Linux, logging to standard output. With --sim the stand-in
// simulator runs inside the process on its own thread (it is the simulator, not the server).
#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>

#include "app/client_options.h"
#include "app/posix/in_process_transport.h"
#include "app/plan_folder.h"
#include "app/tf_main.h"
#include "core/log.h"
#include "server/posix/epoll_loop.h"
#include "sim/posix/sim_server.h"
#include "sim/sim_options.h"
#include "simlink/posix/ipc_folder.h"
#include "simlink/posix/posix_transport.h"

namespace {

struct Options {
  bool sim = false;
  tavelor::sim::SimOptions simOptions;  // --sim-control, --fly and the replay's
  std::string record;
  int port = tavelor::kServerPort;
  std::string bind;
  bool debug = false;
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

// tavelor-server's command line into *options: -1 to go on, else the status to end with.
int ReadOptions(int argc, char** argv, Options* options) {
  tavelor::cli::CommandLine line(
      "tavelor-server",
      "Serves cockpit-panel clients on TCP port 9696 once the simulator link is up.");
  line.Flag("--sim", &options->sim, "run the stand-in simulator inside this process");
  line.Port("--sim-control", "PORT", &options->simOptions.controlPort, 0,
            "control port of that stand-in simulator (default 9697)");
  line.Flag("--fly", &options->simOptions.fly, "with --sim: the stand-in aircraft flies a circuit");
  tavelor::sim::AddSourceOptions(line, &options->simOptions, "with --sim: ");
  line.Text("--record", "FILE", &options->record, "a file or folder name",
            "record every exchange with the simulator to FILE, or to a new file\n"
            "in the folder FILE");
  line.Port("--port", "N", &options->port, 1, "listen on port N instead of 9696");
  const auto bind = [options](const std::string& text) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1) return false;
    options->bind = text;
    return true;
  };
  line.Value("--bind", "ADDR", "a dotted IPv4 address such as 127.0.0.1", bind,
             "listen on this IPv4 address only (default: all addresses)");
  const CLI::Option* maxClients = tavelor::AddClientOptions(
      line, &options->clients, "what the open-files limit allows, less a reserve");
  line.Flag("--debug", &options->debug, "start with debug logging on (SIGUSR1 toggles it)");
  line.Flag("--connect-now", &options->connectNow,
            "look for the simulator at once, not a second after start");
  line.App().footer("SIGINT, SIGTERM or SIGHUP (the terminal closed) closes the server.");
  if (const int status = line.Parse(argc, argv, std::cout, std::cerr); status >= 0) return status;
  if (options->simOptions.fly && !options->sim) {
    return line.Refuse("--fly needs --sim (the stand-in simulator flies)", std::cerr);
  }
  if (!options->simOptions.replay.empty() && !options->sim) {
    return line.Refuse("--replay needs --sim (the stand-in simulator replays)", std::cerr);
  }
  if (!options->simOptions.flightgearHost.empty() && !options->sim) {
    return line.Refuse("--flightgear needs --sim (the stand-in simulator follows FlightGear)", std::cerr);
  }
  if (const int status = tavelor::sim::CheckSourceOptions(options->simOptions, line); status >= 0) return status;
  if (maxClients->count() == 0) options->clients.maxClients = DefaultMaxClients(options->sim);
  return -1;
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
  if (const int status = ReadOptions(argc, argv, &options); status >= 0) return status;

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
    sim = std::make_unique<tavelor::sim::SimServer>(options.simOptions);
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
  sigaction(SIGHUP, &action, nullptr);
  sigaction(SIGUSR1, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  // A file-size limit reached by the recording fails its write, which stops the recording
  // alone, instead of ending the server.
  std::signal(SIGXFSZ, SIG_IGN);

  // The stand-in inside this process is handed its messages directly; any other simulator
  // through its socket.
  std::unique_ptr<tavelor::PosixTransport> transport =
      sim ? std::make_unique<tavelor::InProcessTransport>(*sim) : std::make_unique<tavelor::PosixTransport>();
  ConsoleView view;
  tavelor::EpollLoop loop(options.bind);
  if (!loop.Ready()) {
    std::perror("tavelor-server: epoll");
    return 1;
  }
  {
    tavelor::TfMain main(&view, &loop, transport.get());
    loop.SetDebugToggle([&main] { main.ToggleDebug(); });
    main.SetPort(static_cast<uint16_t>(options.port));
    main.SetClientLimits(options.clients);
    std::string recordProblem;
    if (!options.record.empty() && !main.Record(options.record, &recordProblem)) {
      std::cerr << "tavelor-server: " << recordProblem << "\n";
      if (sim) sim->Stop();
      return 1;
    }
    const tavelor::PlanFolderChoice plans = tavelor::PlanFolder(ExecutableFolder());
    main.Start(plans.folder, plans.madeByFirstPlan);
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
