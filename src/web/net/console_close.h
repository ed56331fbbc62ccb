// Closing tavelor-web.exe's console window ends the process as soon as the console's handler
// returns, so the handler stops the program and waits (a few seconds at most, as Windows allows)
// for the orderly end main() then makes. Elsewhere a closed terminal sends SIGHUP, which the
// program's signal set takes like Ctrl+C: nothing to do.
#pragma once

#include <functional>

namespace tavelor::web {

class ConsoleCloseGuard {
 public:
  // `stop` is called on the console's own thread: it must only post to the program's loop.
  explicit ConsoleCloseGuard(std::function<void()> stop);
  // The program has ended in order: a waiting handler may let the process go.
  ~ConsoleCloseGuard();
  ConsoleCloseGuard(const ConsoleCloseGuard&) = delete;
  ConsoleCloseGuard& operator=(const ConsoleCloseGuard&) = delete;
};

}  // namespace tavelor::web
