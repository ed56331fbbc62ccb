// tavelor-sim: the stand-in simulator as a program of its own, for end-to-end tests and for
// panel authors who want a simulator without a simulator.
#include <signal.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/posix/sim_server.h"
#include "sim/sim_options.h"

int main(int argc, char** argv) {
  tavelor::sim::SimServerOptions options;
  if (int status = tavelor::sim::ParseSimOptions(argc, argv, &options); status >= 0) return status;

  // Signals are taken synchronously below; the serving thread inherits the blocked mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  tavelor::sim::SimServer server(options);
  std::string error;
  if (!server.Open(&error)) {
    std::fprintf(stderr, "tavelor-sim: %s\n", error.c_str());
    return 1;
  }
  server.Start();
  std::printf("tavelor-sim: window %s, control 127.0.0.1:%d\n", options.windowClass.c_str(),
              server.ControlPort());
  std::fflush(stdout);

  // Wait for `quit` (the server stops by itself) or a stop signal.
  const timespec tick{0, 100 * 1000 * 1000};
  while (server.Running()) {
    const int sig = sigtimedwait(&stopSignals, nullptr, &tick);
    if (sig == SIGINT || sig == SIGTERM) break;
  }
  server.Stop();
  return 0;
}
