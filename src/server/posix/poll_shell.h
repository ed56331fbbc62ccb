// The Linux shell: one poll() loop delivers the connect timer, the listener's accepts, client
// reads, writes and closes, and the signals, each as the matching TfMain handler. One thread.
#pragma once

#include <chrono>
#include <map>
#include <string>

#include "app/main_window.h"

namespace tavelor {

class PollShell : public MainWindowShell {
 public:
  explicit PollShell(std::string bindAddress) : bindAddress_(std::move(bindAddress)) {}
  ~PollShell() override;

  void Attach(TfMain* main) { main_ = main; }
  // Serves until RequestQuit(); then runs FormClose.
  void Run();
  // Safe from a signal handler: wakes the loop to quit, or to press the debug switch.
  static void RequestQuit();
  static void RequestDebugToggle();
  static bool InstallSignalPipe();

  void SetCaption(const std::string&) override {}
  // No button here: the switch's new caption goes to the log ("- Debug On").
  void SetDebugCaption(const std::string& caption) override;
  void MoveToTopLeft() override {}
  void StartConnectTimer() override;
  void StopConnectTimer() override { timerRunning_ = false; }
  bool ActivateListener(uint16_t port, std::string* error) override;
  void DeactivateListener() override;
  std::string LocalAddress() override;
  SendResult Send(ClientId client, const char* data, size_t size) override;
  void WatchWritable(ClientId client, bool watch) override;
  void CloseClient(ClientId client) override;

 private:
  using Clock = std::chrono::steady_clock;
  void Accept();
  void Receive(int fd);

  std::string bindAddress_;
  TfMain* main_ = nullptr;
  int listener_ = -1;
  std::map<int, bool> clients_;  // socket -> waiting to write
  bool timerRunning_ = false;
  Clock::time_point nextTick_{};
};

}  // namespace tavelor
