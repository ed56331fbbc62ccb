// The console's events (Ctrl+C, Ctrl+Break, its window closed, the user logging off) come on a
// thread of their own; the process ends once the handler returns, so the handler waits for
// main() to have ended in order.
#include "web/net/console_close.h"

#include <windows.h>

#include <atomic>
#include <utility>

namespace tavelor::web {

namespace {

std::function<void()> gStop;
HANDLE gEnded = NULL;  // set once the program has ended in order
// Windows gives a closing console's handler five seconds; the rest of main() must fit.
constexpr DWORD kMostWaitMs = 4500;

BOOL WINAPI OnConsoleEvent(DWORD) {
  if (gStop) gStop();
  if (gEnded) WaitForSingleObject(gEnded, kMostWaitMs);
  return TRUE;
}

}  // namespace

ConsoleCloseGuard::ConsoleCloseGuard(std::function<void()> stop) {
  gStop = std::move(stop);
  gEnded = CreateEventA(NULL, TRUE, FALSE, NULL);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

ConsoleCloseGuard::~ConsoleCloseGuard() {
  if (gEnded) SetEvent(gEnded);
}

}  // namespace tavelor::web
