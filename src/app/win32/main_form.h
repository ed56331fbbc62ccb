// The main window on Windows: the form of the log (Memo1), the debug switch (BitBtn1), the
// connect timer (Timer1) and the listener's socket events, all on the one thread that runs the
// message loop. It owns the portable TfMain and hands it every event; TfMain answers through
// the MainWindowShell calls. Window handles are kept as opaque pointers so this header does not
// bring in <windows.h>.
#pragma once

#include <cstdint>
#include <string>

#include "app/main_window.h"
#include "server/win32/async_listener.h"

namespace tavelor {

class Win32MainForm : public MainWindowShell {
 public:
  static constexpr int kClientWidth = 351;
  static constexpr int kClientHeight = 108;
  static constexpr const char* kWindowClass = "TfMain";
  // The application's title: the error box's caption.
  static constexpr const char* kApplicationTitle = "TavelorServer";

  explicit Win32MainForm(void* instance);
  ~Win32MainForm() override;
  Win32MainForm(const Win32MainForm&) = delete;
  Win32MainForm& operator=(const Win32MainForm&) = delete;

  // Creates the window and its controls, installs the log sink, runs FormCreate and shows the
  // window. False when the window cannot be created.
  bool Create(const std::string& appFolder, int showCommand);
  // The message loop, until the window is closed. Returns the process exit code.
  int Run();

  // MainWindowShell
  void SetCaption(const std::string& caption) override;
  void SetDebugCaption(const std::string& caption) override;
  void MoveToTopLeft() override;
  void StartConnectTimer() override;
  void StopConnectTimer() override;
  bool ActivateListener(uint16_t port, std::string* error) override;
  void DeactivateListener() override;
  std::string LocalAddress() override;
  SendResult Send(ClientId client, const char* data, size_t size) override;
  void WatchWritable(ClientId, bool) override {}  // FD_WRITE comes by itself after a full send
  void CloseClient(ClientId client) override;
  void ShowStartError(const std::string& text) override;

  // The window procedure's body: window, message, wParam, lParam -> result.
  intptr_t HandleMessage(void* window, unsigned message, uintptr_t wParam, intptr_t lParam);

 private:
  void AppendLog(const std::string& line);
  void FlushLog();
  void CreateControls();
  void MoveFocus();

  void* instance_;
  void* window_ = nullptr;
  void* memo_ = nullptr;    // Memo1
  void* button_ = nullptr;  // BitBtn1
  void* font_ = nullptr;
  void* focused_ = nullptr;  // the control that gets the focus back when the window is activated
  std::string pendingLog_;   // lines logged since the last flush into Memo1, each CR LF + line
  bool flushPosted_ = false;
  AsyncListener listener_;
  TfMain main_;
};

}  // namespace tavelor
