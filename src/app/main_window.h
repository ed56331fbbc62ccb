// TfMain: the program's event handlers, portable. Each shell (the Win32 window, the Linux poll
// loop) owns the real timer, listener and sockets, turns their events into these calls, and
// does what the handlers ask of it through MainWindowShell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace tavelor {

using ClientId = uint64_t;

inline constexpr uint16_t kServerPort = 9696;
inline constexpr unsigned kConnectIntervalMs = 1000;
// A client that leaves this much of its replies unread is cut off instead of growing our memory.
inline constexpr size_t kMaxPendingOutput = 1 << 20;

// Result of handing bytes to a client socket.
struct SendResult {
  size_t accepted = 0;     // bytes the socket took
  bool wouldBlock = false; // the socket is full for now: keep the rest, wait for writable
  int error = 0;           // a real failure: its system error number
  std::string errorText;   // and the system's text for it
};

class MainWindowShell {
 public:
  virtual ~MainWindowShell() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetDebugCaption(const std::string& caption) = 0;
  virtual void MoveToTopLeft() = 0;
  virtual void StartConnectTimer() = 0;
  virtual void StopConnectTimer() = 0;
  // Binds, calls TfMain::ServerSocket1Listen, then listens. False with the socket error's text
  // (as SocketErrorText words it) in *error.
  virtual bool ActivateListener(uint16_t port, std::string* error) = 0;
  virtual void DeactivateListener() = 0;
  virtual std::string LocalAddress() = 0;
  virtual SendResult Send(ClientId client, const char* data, size_t size) = 0;
  // Asks for ServerSocket1ClientWrite when the socket can take more (a no-op where the
  // platform always reports that).
  virtual void WatchWritable(ClientId client, bool watch) = 0;
  // Closes the connection; the shell then reports ServerSocket1ClientDisconnect.
  virtual void CloseClient(ClientId client) = 0;
  // A start-up error the person at the machine must see (the Windows error box); the log
  // has it already.
  virtual void ShowStartError(const std::string& /*text*/) {}
};

class TfMain {
 public:
  explicit TfMain(MainWindowShell* shell) : shell_(shell) {}

  void FormCreate(const std::string& appFolder);
  void Timer1Timer();
  void ServerSocket1Listen();
  void ServerSocket1ClientConnect(ClientId client);
  void ServerSocket1ClientDisconnect(ClientId client);
  void ServerSocket1ClientRead(ClientId client, const std::string& received);
  void ServerSocket1ClientWrite(ClientId client);
  // A failed receive or send ("recv", "send"), or an error reported with a network event.
  void ServerSocket1ClientError(ClientId client, const std::string& text);
  void BitBtn1Click();
  void FormClose();

  void SetPort(uint16_t port) { port_ = port; }
  bool Listening() const { return listening_; }
  size_t PendingOutput(ClientId client) const;

 private:
  void Send(ClientId client, const std::string& text);
  void Flush(ClientId client);
  void NoticeLinkLost();

  MainWindowShell* shell_;
  uint16_t port_ = kServerPort;
  bool listening_ = false;
  bool listenerTried_ = false;
  std::map<ClientId, std::string> pending_;  // reply bytes the socket has not taken yet
};



}  // namespace tavelor
