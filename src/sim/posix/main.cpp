// tavelor-sim: the stand-in simulator as a program of its own, for end-to-end tests and for
// panel authors who want a simulator without a simulator.
#include <signal.h>
#include <time.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/posix/sim_server.h"
#include "sim/sim_options.h"

namespace {

std::atomic<bool> gStop{false};
void OnStop(int) { gStop = true; }

}  // namespace

int main(int argc, char** argv) {
  tavelor::sim::SimServerOptions options;
  if (int status = tavelor::sim::ParseSimOptions(argc, argv, &options); status >= 0) return status;

  // While a recording is read, a stop signal only marks the stop, which the reading heeds.
  struct sigaction action {};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  options.stop = &gStop;

  tavelor::sim::SimServer server(options);
  std::string error;
  if (!server.Open(&error)) {
    std::fprintf(stderr, "tavelor-sim: %s\n", error.c_str());
    return 1;
  }
  // From here signals are taken synchronously below; the serving thread inherits the blocked
  // mask. One that came meanwhile is pending, and taken at once.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  server.Start();
  std::printf("tavelor-sim: window %s, control 127.0.0.1:%d\n", options.windowClass.c_str(),
              server.ControlPort());
  std::fflush(stdout);

  // Wait for `quit` (the server stops by itself) or a stop signal.
  const timespec tick{0, 100 * 1000 * 1000};
  while (server.Running() && !gStop) {
    const int sig = sigtimedwait(&stopSignals, nullptr, &tick);
    if (sig == SIGINT || sig == SIGTERM || sig == SIGHUP) break;
  }
  server.Stop();
  return 0;
}
