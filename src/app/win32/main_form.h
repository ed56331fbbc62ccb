// The main window on Windows: the form with the log (Memo1) and the debug switch (BitBtn1). It
// is TfMain's view and runs the program's message loop, which also carries the event loop's
// socket and timer messages. The form's events keep their names in the program: the window's
// (FormCreate, BitBtn1Click, FormClose) and its components' (Timer1Timer, ServerSocket1Listen,
// ServerSocket1ClientConnect, ServerSocket1ClientRead, ServerSocket1ClientDisconnect), each
// handing over to TfMain's portable logic; the loop's other events reach TfMain unchanged.
// Window handles are kept as opaque pointers so this header does not bring in <windows.h>.
#pragma once

#include <cstdint>
#include <string>

#include "app/forwarded_events.h"
#include "app/main_view.h"
#include "app/plan_folder.h"
#include "app/tf_main.h"

namespace tavelor {

class Win32MainForm : public MainView, public ForwardedEvents {
 public:
  static constexpr int kClientWidth = 351;
  static constexpr int kClientHeight = 108;
  static constexpr const char* kWindowClass = "TfMain";
  // The application's title: the error box's caption.
  static constexpr const char* kApplicationTitle = "TavelorServer";

  explicit Win32MainForm(void* instance) : instance_(instance) {}
  // Whose logic the events run; set before Create.
  void Attach(TfMain* main) {
    main_ = main;
    ForwardTo(main);
  }
  ~Win32MainForm() override;
  Win32MainForm(const Win32MainForm&) = delete;
  Win32MainForm& operator=(const Win32MainForm&) = delete;

  // Creates the window and its controls, not shown yet. False when it cannot be created.
  bool Create();
  void Show(int showCommand);
  // The message loop, until the window is closed. Returns the process exit code.
  int Run();

  // MainView
  void SetCaption(const std::string& caption) override;
  void SetDebugCaption(const std::string& caption) override;
  void MoveToTopLeft() override;
  void ShowError(const std::string& text) override;
  void AppendLog(const std::string& line) override;

  // The window's events, by their names in the program.
  void FormCreate(const PlanFolderChoice& plans) { main_->Start(plans.folder, plans.madeByFirstPlan); }
  void BitBtn1Click() { main_->ToggleDebug(); }
  void FormClose() { main_->Close(); }
  void Timer1Timer() { main_->Tick(); }
  void ServerSocket1Listen() { main_->ListenerBound(); }
  void ServerSocket1ClientConnect(ConnectionId client) { main_->ClientConnect(client); }
  void ServerSocket1ClientRead(ConnectionId client, const std::string& received) {
    main_->ClientRead(client, received);
  }
  void ServerSocket1ClientDisconnect(ConnectionId client) { main_->ClientDisconnect(client); }

  // The loop's events that are the components' own, under their names; set as the loop's
  // events once TfMain is made.
  void OnTimer() override { Timer1Timer(); }
  void OnListenerBound() override { ServerSocket1Listen(); }
  void OnAccepted(ConnectionId client) override { ServerSocket1ClientConnect(client); }
  void OnReceived(ConnectionId client, const std::string& bytes) override {
    ServerSocket1ClientRead(client, bytes);
  }
  void OnClosed(ConnectionId client) override { ServerSocket1ClientDisconnect(client); }

  // The window procedure's body: window, message, wParam, lParam -> result.
  intptr_t HandleMessage(void* window, unsigned message, uintptr_t wParam, intptr_t lParam);

 private:
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
  TfMain* main_ = nullptr;
};

}  // namespace tavelor
