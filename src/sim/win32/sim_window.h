// The stand-in simulator on Windows: a top-level window of the simulator's class that answers
// the link's registered message by working the named block, and a TCP control channel on
// 127.0.0.1 whose socket events arrive on the same window. One thread, one message loop.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "sim/sim_options.h"
#include "sim/sim_service.h"

namespace tavelor::sim {

using SimWindowOptions = SimOptions;

class SimWindow {
 public:
  SimWindow(void* instance, const SimWindowOptions& options);
  ~SimWindow();
  SimWindow(const SimWindow&) = delete;
  SimWindow& operator=(const SimWindow&) = delete;

  // Creates the window and the control listener. False with a reason in *error.
  bool Open(std::string* error);
  // Serves until `quit` or the window is closed.
  int Run();
  int ControlPort() const { return controlPort_; }
  // The HWND; posting WM_CLOSE to it stops the simulator from any thread.
  void* Window() const { return window_; }

  intptr_t HandleMessage(void* window, unsigned message, uintptr_t wParam, intptr_t lParam);

 private:
  uint32_t Exchange(uintptr_t atom);
  void OnControlEvent(uintptr_t socket, int event, int error);
  void AcceptControl();
  // Reads what is waiting and answers every complete line; false after `quit`.
  bool ReadControl(uintptr_t socket, bool atEnd);
  // False when the client has gone.
  bool Flush(uintptr_t socket);
  void CloseControl(uintptr_t socket);
  // Closes the clients the service is done with by time: quiet too long.
  void CloseQuietControls();
  void Quit();
  void Paint();

  void* instance_;
  SimService service_;
  void* window_ = nullptr;
  unsigned ipcMessage_ = 0;
  uintptr_t controlListener_;
  int controlPort_ = 0;
  std::set<uintptr_t> controls_;
};

}  // namespace tavelor::sim
