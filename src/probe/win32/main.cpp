// tavelor-probe on Windows: a TCP connection over Windows sockets around the portable probe.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "probe/probe_session.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

using tavelor::probe::ProbeLink;
using tavelor::probe::ProbePlatform;

std::string ErrorText(int error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length && text ? std::string(text, length) : "error";
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return message + " (" + std::to_string(error) + ")";
}

timeval Timeval(int ms) {
  timeval tv;
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  return tv;
}

class SocketLink : public ProbeLink {
 public:
  explicit SocketLink(SOCKET s) : s_(s) {}
  ~SocketLink() override { closesocket(s_); }

  bool Send(const std::string& bytes) override {
    // One request, one write: the server reads whatever is waiting as one request.
    size_t sent = 0;
    while (sent < bytes.size()) {
      const int n = send(s_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
      if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(s_, &writable);
        timeval tv = Timeval(5000);
        if (select(0, nullptr, &writable, nullptr, &tv) > 0) continue;
        error_ = "the server takes no more bytes";
        return false;
      }
      if (n == SOCKET_ERROR || n == 0) {
        error_ = ErrorText(WSAGetLastError());
        return false;
      }
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  Received Receive(int timeoutMs, std::string* into) override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s_, &readable);
    timeval tv = Timeval(timeoutMs);
    const int ready = select(0, &readable, nullptr, nullptr, &tv);
    if (ready == 0) return Received::kTimeout;
    if (ready == SOCKET_ERROR) {
      error_ = ErrorText(WSAGetLastError());
      return Received::kFailed;
    }
    char buffer[4096];
    const int n = recv(s_, buffer, sizeof buffer, 0);
    if (n > 0) {
      into->append(buffer, static_cast<size_t>(n));
      return Received::kData;
    }
    if (n == 0) return Received::kClosed;
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return Received::kTimeout;
    if (error == WSAECONNRESET || error == WSAECONNABORTED) return Received::kClosed;
    error_ = ErrorText(error);
    return Received::kFailed;
  }

  std::string Error() const override { return error_; }

 private:
  SOCKET s_;
  std::string error_;
};

// Waits for a non-blocking connect; 0 when connected, else the error number.
int FinishConnect(SOCKET s, int timeoutMs) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval tv = Timeval(timeoutMs);
  const int ready = select(0, nullptr, &writable, &failed, &tv);
  if (ready == 0) return WSAETIMEDOUT;
  if (ready == SOCKET_ERROR) return WSAGetLastError();
  if (FD_ISSET(s, &writable)) return 0;
  int error = 0;
  int length = sizeof error;
  getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
  return error != 0 ? error : WSAECONNREFUSED;
}

class WindowsPlatform : public ProbePlatform {
 public:
  Connection Connect(const std::string& host, int port, int timeoutMs) override {
    Connection connection;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
      connection.error = "cannot find the address '" + host + "': " + ErrorText(lookup);
      return connection;
    }
    for (addrinfo* a = found; a && !connection.link; a = a->ai_next) {
      const SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
      if (s == INVALID_SOCKET) continue;
      u_long nonBlocking = 1;
      ioctlsocket(s, FIONBIO, &nonBlocking);
      int error = connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 ? 0 : WSAGetLastError();
      if (error == WSAEWOULDBLOCK) error = FinishConnect(s, timeoutMs);
      if (error == 0) {
        connection.link = std::make_unique<SocketLink>(s);
        continue;
      }
      closesocket(s);
      if (error == WSAECONNREFUSED) connection.refused = true;
      connection.error = error == WSAETIMEDOUT ? "no answer to the connection" : ErrorText(error);
    }
    freeaddrinfo(found);
    if (connection.link) connection.refused = false;
    return connection;
  }

  void Pause(int ms) override { Sleep(static_cast<DWORD>(ms)); }
  int64_t NowMs() override { return static_cast<int64_t>(GetTickCount64()); }

  // The table is redrawn in place with VT escapes, which a console understands once asked.
  bool OutputIsTerminal() override {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(out, &mode)) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
           SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
};

}  // namespace

int main(int argc, char** argv) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    std::cerr << "tavelor-probe: Windows sockets did not start\n";
    return 1;
  }
  // --raw prints the answer's bytes as they came: no CR added in front of its LF.
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args(argv + 1, argv + argc);
  WindowsPlatform platform;
  const int status = tavelor::probe::RunProbe(args, platform, std::cout, std::cerr);
  std::cout.flush();
  WSACleanup();
  return status;
}
