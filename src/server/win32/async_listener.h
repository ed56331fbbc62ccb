// The listener on Windows: a TCP socket whose accept, read, write and close events arrive as
// one window message on the main thread (WSAAsyncSelect), turned into the TfMain handlers.
// No Windows types here: sockets travel as ClientId, the window as an opaque pointer.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "app/main_window.h"

namespace tavelor {

class AsyncListener {
 public:
  AsyncListener() = default;
  ~AsyncListener();
  AsyncListener(const AsyncListener&) = delete;
  AsyncListener& operator=(const AsyncListener&) = delete;

  // `window` is the HWND that receives `message` for every socket event.
  void Attach(TfMain* main, void* window, unsigned message) {
    main_ = main;
    window_ = window;
    message_ = message;
  }

  // Binds to every local address, calls TfMain::ServerSocket1Listen, then listens (backlog 5).
  bool Activate(uint16_t port, std::string* error);
  // Closes every client (each reported as disconnected), then the listening socket.
  void Deactivate();
  SendResult Send(ClientId client, const char* data, size_t size);
  void Close(ClientId client);
  // The window's handler for `message`: wParam is the socket, lParam the event and its error.
  void OnSocketMessage(uintptr_t wParam, intptr_t lParam);

  bool Active() const { return listener_ != kNoSocket; }
  size_t ClientCount() const { return clients_.size(); }

  // The dotted IPv4 address of this host's name, or "" when the look-up fails.
  static std::string LocalAddress();
  // The system's text for an error number, without its line end or final full stop.
  static std::string SystemErrorText(int code);

 private:
  static constexpr uintptr_t kNoSocket = ~static_cast<uintptr_t>(0);  // INVALID_SOCKET
  void Accept();
  void Receive(uintptr_t socket);
  void PeerClosed(uintptr_t socket);

  void* window_ = nullptr;
  unsigned message_ = 0;
  TfMain* main_ = nullptr;
  uintptr_t listener_ = kNoSocket;
  std::set<uintptr_t> clients_;
};

}  // namespace tavelor
