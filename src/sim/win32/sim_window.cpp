#include "sim/win32/sim_window.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cli/win32/window_procedure.h"
#include "simlink/ipc_records.h"

namespace tavelor::sim {

namespace {

constexpr UINT kControlMessage = WM_APP + 1;
// A replay behind where it should be ticks again behind whatever messages wait already.
constexpr UINT kCatchUpMessage = WM_APP + 2;
constexpr DWORD kQuitFlushMs = 2000;
// A hung exchange keeps the window busy past the link's 2-second time-out.
constexpr DWORD kHangMs = 2500;
// The flight moves on at every tick; the timer runs always, the flight only when switched on.
constexpr UINT_PTR kFlightTimer = 1;
constexpr UINT_PTR kAcceptPauseTimer = 2;
constexpr SOCKET kNoSocket = INVALID_SOCKET;

HWND W(void* window) { return static_cast<HWND>(window); }


std::string SocketError(const std::string& what) {
  return what + " (Windows sockets error " + std::to_string(WSAGetLastError()) + ")";
}

}  // namespace

SimWindow::SimWindow(void* instance, const SimWindowOptions& options)
    : instance_(instance), service_(options), controlListener_(kNoSocket) {}

SimWindow::~SimWindow() {
  for (uintptr_t socket : controls_) closesocket(static_cast<SOCKET>(socket));
  if (controlListener_ != kNoSocket) closesocket(static_cast<SOCKET>(controlListener_));
  if (window_ && IsWindow(W(window_))) DestroyWindow(W(window_));
}

bool SimWindow::Open(std::string* error) {
  if (!service_.StartProblem().empty()) {
    *error = service_.StartProblem();
    return false;
  }
  if (FindWindowExA(NULL, NULL, service_.Options().windowClass.c_str(), NULL)) {
    *error = "another simulator window of class " + service_.Options().windowClass + " is already open";
    return false;
  }
  ipcMessage_ = RegisterWindowMessageA(ipc::kMessageName);
  if (!ipcMessage_) {
    *error = "cannot register the message " + std::string(ipc::kMessageName);
    return false;
  }
  HINSTANCE instance = static_cast<HINSTANCE>(instance_);
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = OwnedWindowProc<SimWindow>;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIcon(NULL, IDI_APPLICATION);
  windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  windowClass.lpszClassName = service_.Options().windowClass.c_str();
  if (!RegisterClassExA(&windowClass)) {
    *error = "cannot register the window class " + service_.Options().windowClass;
    return false;
  }

  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) {
    *error = SocketError("cannot create the control socket");
    return false;
  }
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(service_.Options().controlPort));
  int length = sizeof address;
  if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR ||
      listen(listener, 8) == SOCKET_ERROR ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == SOCKET_ERROR) {
    *error = SocketError("cannot listen on 127.0.0.1:" + std::to_string(service_.Options().controlPort));
    closesocket(listener);
    return false;
  }
  controlListener_ = listener;
  controlPort_ = ntohs(address.sin_port);

  HWND window = CreateWindowExA(0, service_.Options().windowClass.c_str(), "Stand-in simulator",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                CW_USEDEFAULT, CW_USEDEFAULT, 320, 120, NULL, NULL, instance, this);
  if (!window) {
    *error = "cannot create the window";
    return false;
  }
  window_ = window;
  if (WSAAsyncSelect(listener, window, kControlMessage, FD_ACCEPT) == SOCKET_ERROR) {
    *error = SocketError("cannot watch the control socket");
    return false;
  }
  SetTimer(window, kFlightTimer,
           static_cast<UINT>(std::chrono::milliseconds(SimService::kTickInterval).count()), NULL);
  // Shown without taking the focus from whatever the person is working in.
  ShowWindow(window, SW_SHOWNOACTIVATE);
  return true;
}

int SimWindow::Run() {
  MSG message;
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

uint32_t SimWindow::Exchange(uintptr_t atom) {
  if (service_.TakeHang()) {
    Sleep(kHangMs);
    return 0;
  }
  // The block's name travels in the global atom the message carries.
  char name[256] = {};
  if (atom > 0xFFFF || GlobalGetAtomNameA(static_cast<ATOM>(atom), name, sizeof name) == 0)
    return service_.Exchange(nullptr, 0);
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  if (!mapping) return service_.Exchange(nullptr, 0);
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
  MEMORY_BASIC_INFORMATION region = {};
  uint32_t answer;
  if (!view || VirtualQuery(view, &region, sizeof region) == 0) {
    answer = service_.Exchange(nullptr, 0);
  } else {
    answer = service_.Exchange(static_cast<uint8_t*>(view), static_cast<size_t>(region.RegionSize));
  }
  if (view) UnmapViewOfFile(view);
  CloseHandle(mapping);
  InvalidateRect(W(window_), NULL, TRUE);
  return answer;
}

void SimWindow::AcceptControl() {
  SOCKET socket = accept(static_cast<SOCKET>(controlListener_), NULL, NULL);
  if (socket == INVALID_SOCKET) {
    const int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK || code == WSAECONNRESET || code == WSAEINTR) return;
    // A failed accept asks for the next accept event, which would come at once and fail
    // again: the listener rests, and the timer watches it again.
    WSAAsyncSelect(static_cast<SOCKET>(controlListener_), W(window_), kControlMessage, 0);
    SetTimer(W(window_), kAcceptPauseTimer,
             static_cast<UINT>(std::chrono::milliseconds(SimService::kAcceptPause).count()), NULL);
    service_.AcceptFailed("Windows sockets error " + std::to_string(code));
    return;
  }
  service_.AcceptRecovered();
  std::optional<ControlId> evicted;
  if (!service_.AcceptControl(socket, &evicted)) {
    closesocket(socket);
    return;
  }
  if (evicted) {  // its slot is the newcomer's; the service forgot it
    closesocket(static_cast<SOCKET>(*evicted));
    controls_.erase(*evicted);
  }
  // The accepted socket inherits FD_ACCEPT only; a control client needs the rest.
  WSAAsyncSelect(socket, W(window_), kControlMessage, FD_READ | FD_WRITE | FD_CLOSE);
  controls_.insert(socket);
}

bool SimWindow::ReadControl(uintptr_t socket, bool atEnd) {
  std::string received;
  for (;;) {
    char buffer[65536];
    const int n = recv(static_cast<SOCKET>(socket), buffer, sizeof buffer, 0);
    if (n <= 0) break;  // would block, closed or failed: FD_CLOSE tells the rest
    received.append(buffer, static_cast<size_t>(n));
    if (!atEnd) break;  // one recv per FD_READ; the next one comes with the next event
  }
  return !service_.ReceiveControl(socket, received.data(), received.size(), atEnd);
}

bool SimWindow::Flush(uintptr_t socket) {
  std::string& out = service_.ControlOutput(socket);
  while (!out.empty()) {
    const int chunk = static_cast<int>(std::min<size_t>(out.size(), 1 << 20));
    const int n = send(static_cast<SOCKET>(socket), out.data(), chunk, 0);
    if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK;  // FD_WRITE resumes
    out.erase(0, static_cast<size_t>(n));
  }
  return true;
}

void SimWindow::CloseQuietControls() {
  const auto now = SimService::Clock::now();
  std::vector<uintptr_t> quiet;
  for (const uintptr_t socket : controls_)
    if (service_.ControlDone(socket, now)) quiet.push_back(socket);
  for (const uintptr_t socket : quiet) CloseControl(socket);
}

void SimWindow::CloseControl(uintptr_t socket) {
  closesocket(static_cast<SOCKET>(socket));
  controls_.erase(socket);
  service_.CloseControl(socket);
}

void SimWindow::OnControlEvent(uintptr_t socket, int event, int error) {
  if (socket == controlListener_) {
    if (event == FD_ACCEPT && !error) AcceptControl();
    return;
  }
  if (!controls_.count(socket)) return;  // an event still queued for a closed socket
  if (error && event != FD_CLOSE) {
    CloseControl(socket);
    return;
  }
  switch (event) {
    case FD_READ:
      if (!ReadControl(socket, false)) return Quit();
      if (!Flush(socket) || service_.ControlDone(socket, SimService::Clock::now()))
        CloseControl(socket);  // gone, or cut off for leaving too many answers unread
      break;
    case FD_WRITE:
      if (!Flush(socket)) CloseControl(socket);
      break;
    case FD_CLOSE: {
      // The peer is done sending: answer what it sent last, then close.
      if (!ReadControl(socket, true)) return Quit();
      Flush(socket);
      CloseControl(socket);
      break;
    }
    default:
      break;
  }
}

void SimWindow::Quit() {
  // The window goes first, so a client that has read "OK" already finds the simulator gone.
  if (window_) DestroyWindow(W(window_));
  const DWORD until = GetTickCount() + kQuitFlushMs;
  for (uintptr_t socket : controls_) {
    const SOCKET s = static_cast<SOCKET>(socket);
    WSAAsyncSelect(s, NULL, 0, 0);
    u_long blocking = 0;
    ioctlsocket(s, FIONBIO, &blocking);
    const DWORD now = GetTickCount();
    const int left = until > now ? static_cast<int>(until - now) : 1;
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&left), sizeof left);
    Flush(socket);
    closesocket(s);
    service_.CloseControl(socket);
  }
  controls_.clear();
}

void SimWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(W(window_), &paint);
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  const std::string lines[] = {
      "Window class " + service_.Options().windowClass,
      "Control channel 127.0.0.1:" + std::to_string(controlPort_),
      "Exchanges " + std::to_string(service_.Peer().Exchanges()),
  };
  int y = 8;
  for (const std::string& line : lines) {
    TextOutA(dc, 8, y, line.c_str(), static_cast<int>(line.size()));
    y += 18;
  }
  EndPaint(W(window_), &paint);
}

intptr_t SimWindow::HandleMessage(void* handle, unsigned message, uintptr_t wParam,
                                  intptr_t lParam) {
  HWND window = W(handle);
  if (message == ipcMessage_ && ipcMessage_ != 0) return Exchange(wParam);
  switch (message) {
    case kControlMessage:
      OnControlEvent(wParam, WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
      return 0;
    case kCatchUpMessage:
      service_.Tick(SimService::Clock::now());
      if (service_.CatchingUp()) PostMessageA(window, kCatchUpMessage, 0, 0);
      return 0;
    case WM_TIMER:
      if (wParam == kFlightTimer) {
        CloseQuietControls();
        const bool wasCatchingUp = service_.CatchingUp();  // its own messages tick it already
        if (!wasCatchingUp) service_.Tick(SimService::Clock::now());
        if (!wasCatchingUp && service_.CatchingUp()) PostMessageA(window, kCatchUpMessage, 0, 0);
      }
      if (wParam == kAcceptPauseTimer) {
        KillTimer(window, kAcceptPauseTimer);
        WSAAsyncSelect(static_cast<SOCKET>(controlListener_), window, kControlMessage, FD_ACCEPT);
      }
      return 0;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace tavelor::sim
