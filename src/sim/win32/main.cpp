// tavelor-sim.exe: the stand-in simulator as a Windows program, for trying the server without
// a simulator and for the tests that run the server under Wine.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "sim/sim_options.h"
#include "sim/win32/sim_window.h"

namespace {

std::atomic<HWND> gSimWindow{NULL};

// Ctrl+C and closing the console come on a thread of their own: ask the window to close.
BOOL WINAPI OnConsoleEvent(DWORD) {
  // Posting to a window that has gone already just fails.
  const HWND window = gSimWindow.load();
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  tavelor::sim::SimWindowOptions options;
  if (int status = tavelor::sim::ParseSimOptions(argc, argv, &options); status >= 0) return status;

  WSADATA sockets;
  if (WSAStartup(MAKEWORD(1, 1), &sockets) != 0) {
    std::fprintf(stderr, "tavelor-sim: Windows sockets cannot be started\n");
    return 1;
  }
  int exitCode = 0;
  {
    tavelor::sim::SimWindow sim(GetModuleHandleA(NULL), options);
    std::string error;
    if (!sim.Open(&error)) {
      std::fprintf(stderr, "tavelor-sim: %s\n", error.c_str());
      exitCode = 1;
    } else {
      gSimWindow = static_cast<HWND>(sim.Window());
      SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
      std::printf("tavelor-sim: window %s, control 127.0.0.1:%d\n", options.windowClass.c_str(),
                  sim.ControlPort());
      std::fflush(stdout);
      exitCode = sim.Run();
      SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
      gSimWindow = NULL;
    }
  }
  WSACleanup();
  return exitCode;
}
