#include "server/win32/async_select_loop.h"

#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli/win32/window_procedure.h"
#include "server/request_reader.h"

namespace tavelor {

namespace {

// The longest queue the system allows: a cockpit's panels all connect at the same moment when it
// starts or the server restarts, and past a short queue Windows refuses them.
constexpr int kBacklog = SOMAXCONN;
constexpr long kSocketEvents = FD_ACCEPT | FD_READ | FD_WRITE | FD_CLOSE;
constexpr UINT kSocketMessage = WM_APP + 1;
// An accept event's accept, posted behind the socket messages already queued (see OnSocketMessage).
constexpr UINT kAcceptMessage = WM_APP + 2;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT_PTR kAcceptPauseTimerId = 2;
constexpr UINT_PTR kIdleCheckTimerId = 3;
constexpr const char* kWindowClass = "TavelorSocketEvents";

HWND W(void* window) { return static_cast<HWND>(window); }

// For a system without texts for the socket errors (Wine has none), the usual words for the
// ones a listener meets, so the log still says what happened.
const char* WinsockErrorName(int code) {
  switch (code) {
    case WSAEINTR: return "Interrupted function call";
    case WSAEACCES: return "Permission denied";
    case WSAEINVAL: return "Invalid argument";
    case WSAEMFILE: return "Too many open sockets";
    case WSAEWOULDBLOCK: return "Resource temporarily unavailable";
    case WSAENOTSOCK: return "Socket operation on nonsocket";
    case WSAEADDRINUSE: return "Address already in use";
    case WSAEADDRNOTAVAIL: return "Cannot assign requested address";
    case WSAENETDOWN: return "Network is down";
    case WSAENETUNREACH: return "Network is unreachable";
    case WSAENETRESET: return "Network dropped connection on reset";
    case WSAECONNABORTED: return "Software caused connection abort";
    case WSAECONNRESET: return "Connection reset by peer";
    case WSAENOBUFS: return "No buffer space available";
    case WSAENOTCONN: return "Socket is not connected";
    case WSAESHUTDOWN: return "Cannot send after socket shutdown";
    case WSAETIMEDOUT: return "Connection timed out";
    case WSAECONNREFUSED: return "Connection refused";
    case WSANOTINITIALISED: return "Successful WSAStartup not yet performed";
    default: return "";
  }
}

// The system's text for an error number, without its line end or final full stop.
std::string SystemErrorText(int code) {
  char* buffer = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      NULL, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<char*>(&buffer), 0, NULL);
  std::string text(buffer ? buffer : "", buffer ? length : 0);
  if (buffer) LocalFree(buffer);
  // The system's texts end with a full stop and a line end; the error wording adds its own.
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
    text.pop_back();
  return text.empty() ? WinsockErrorName(code) : text;
}

SocketFailure Failure(int code, const char* api) { return {code, SystemErrorText(code), api}; }

class Socket : public RequestSocket {
 public:
  explicit Socket(uintptr_t socket) : socket_(static_cast<SOCKET>(socket)) {}
  size_t Waiting() override {
    u_long waiting = 0;
    return ioctlsocket(socket_, FIONREAD, &waiting) == SOCKET_ERROR ? 0 : waiting;
  }
  Got Receive(char* into, size_t size, size_t* received, SocketFailure* failure) override {
    // A receive also asks for the next read event, so it is made even when nothing waits.
    const int n = recv(socket_, into, static_cast<int>(size), 0);
    if (n > 0) {
      *received = static_cast<size_t>(n);
      return Got::kBytes;
    }
    if (n == 0) return Got::kEnd;
    const int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK) return Got::kWouldBlock;
    *failure = Failure(code, "recv");
    return Got::kFailed;
  }

 private:
  SOCKET socket_;
};


}  // namespace

AsyncSelectLoop::~AsyncSelectLoop() {
  for (uintptr_t socket : connections_) closesocket(static_cast<SOCKET>(socket));
  if (listener_ != kNoSocket) closesocket(static_cast<SOCKET>(listener_));
  if (window_ && IsWindow(W(window_))) {
    SetWindowLongPtrA(W(window_), GWLP_USERDATA, 0);
    DestroyWindow(W(window_));
  }
}

bool AsyncSelectLoop::Open() {
  HINSTANCE instance = static_cast<HINSTANCE>(instance_);
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = OwnedWindowProc<AsyncSelectLoop>;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExA(&windowClass)) return false;
  // A message-only window: never shown, never found by a search for top-level windows.
  window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, instance, this);
  return window_ != nullptr;
}

intptr_t AsyncSelectLoop::HandleMessage(void* window, unsigned message, uintptr_t wParam, intptr_t lParam) {
  if (message == kSocketMessage) {
    OnSocketMessage(wParam, lParam);
    return 0;
  }
  if (message == kAcceptMessage) {
    if (listener_ != kNoSocket) Accept();
    return 0;
  }
  if (message == WM_TIMER && wParam == kTimerId) {
    if (events_) events_->OnTimer();
    return 0;
  }
  if (message == WM_TIMER && wParam == kIdleCheckTimerId) {
    if (events_) events_->OnIdleCheck();
    return 0;
  }
  if (message == WM_TIMER && wParam == kAcceptPauseTimerId) {
    KillTimer(W(window_), kAcceptPauseTimerId);
    // Asking again brings an accept event at once if clients are waiting.
    if (listener_ != kNoSocket) WatchListener(true);
    return 0;
  }
  return DefWindowProcA(W(window), message, wParam, lParam);
}

void AsyncSelectLoop::StartTimer(unsigned intervalMs) { SetTimer(W(window_), kTimerId, intervalMs, NULL); }

void AsyncSelectLoop::StopTimer() { KillTimer(W(window_), kTimerId); }

void AsyncSelectLoop::StartIdleCheck(unsigned intervalMs) {
  SetTimer(W(window_), kIdleCheckTimerId, intervalMs, NULL);
}

void AsyncSelectLoop::StopIdleCheck() { KillTimer(W(window_), kIdleCheckTimerId); }

std::string AsyncSelectLoop::LocalAddress() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return {};
  std::string address;
  char host[64] = {};
  if (gethostname(host, sizeof host) == 0) {
    host[sizeof host - 1] = '\0';
    const hostent* found = gethostbyname(host);
    if (found && found->h_addrtype == AF_INET && found->h_addr_list && found->h_addr_list[0]) {
      in_addr first;
      memcpy(&first, found->h_addr_list[0], sizeof first);
      address = inet_ntoa(first);
    }
  }
  WSACleanup();
  return address;
}

bool AsyncSelectLoop::Listen(uint16_t port, SocketFailure* failure) {
  const auto fail = [&](SOCKET socket, const char* api) {
    *failure = Failure(WSAGetLastError(), api);
    if (socket != INVALID_SOCKET) closesocket(socket);
    return false;
  };
  SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) return fail(socket, "socket");
  // No SO_REUSEADDR: on Windows it would let us share the port with a program already there.
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR)
    return fail(socket, "bind");
  if (WSAAsyncSelect(socket, W(window_), kSocketMessage, kSocketEvents) == SOCKET_ERROR)
    return fail(socket, "WSAAsyncSelect");
  // Between bind and listen, as the listener component reports it.
  if (events_) events_->OnListenerBound();
  if (listen(socket, kBacklog) == SOCKET_ERROR) return fail(socket, "listen");
  listener_ = socket;
  return true;
}

void AsyncSelectLoop::WatchListener(bool accepting) {
  const long events = accepting ? kSocketEvents : kSocketEvents & ~FD_ACCEPT;
  WSAAsyncSelect(static_cast<SOCKET>(listener_), W(window_), kSocketMessage, events);
}

void AsyncSelectLoop::StopListening() {
  const std::vector<uintptr_t> open(connections_.begin(), connections_.end());
  for (uintptr_t socket : open) Close(socket);
  if (listener_ != kNoSocket) closesocket(static_cast<SOCKET>(listener_));
  listener_ = kNoSocket;
  KillTimer(W(window_), kAcceptPauseTimerId);
}

SendResult AsyncSelectLoop::Send(ConnectionId connection, const char* data, size_t size) {
  SendResult result;
  // send() takes an int length; a longer text goes out over several write events.
  const int chunk = size > 0x10000000 ? 0x10000000 : static_cast<int>(size);
  const int sent = send(static_cast<SOCKET>(connection), data, chunk, 0);
  if (sent != SOCKET_ERROR) {
    // Part taken is not "full": FD_WRITE comes only after a send has failed with
    // WSAEWOULDBLOCK, so the caller must send again until one does.
    result.accepted = static_cast<size_t>(sent);
    return result;
  }
  const int code = WSAGetLastError();
  if (code == WSAEWOULDBLOCK) {
    result.wouldBlock = true;  // FD_WRITE follows when the socket has room again
  } else {
    result.failed = true;
    result.failure = Failure(code, "send");
  }
  return result;
}

void AsyncSelectLoop::Close(ConnectionId connection) {
  auto it = connections_.find(static_cast<uintptr_t>(connection));
  if (it == connections_.end()) return;
  closesocket(static_cast<SOCKET>(*it));
  connections_.erase(it);
  finished_.erase(static_cast<uintptr_t>(connection));
  if (events_) events_->OnClosed(connection);
}

void AsyncSelectLoop::Accept() {
  SOCKET socket = accept(static_cast<SOCKET>(listener_), NULL, NULL);
  if (socket == INVALID_SOCKET) {
    const int code = WSAGetLastError();
    // Nothing waiting, or the client left before we got to it.
    if (code == WSAEWOULDBLOCK || code == WSAECONNRESET || code == WSAEINTR) return;
    // Out of sockets or buffers, mostly (WSAEMFILE, WSAENOBUFS): a failed accept asks for the
    // next accept event, which would come at once and fail again. The clients wait in the
    // listen queue meanwhile; connected ones go on being served.
    WatchListener(false);
    SetTimer(W(window_), kAcceptPauseTimerId,
             static_cast<UINT>(AcceptBackoff::kPause.count()), NULL);
    if (acceptBackoff_.Failed() && events_) events_->OnListenerFailed(Failure(code, "accept"));
    return;
  }
  acceptBackoff_.Succeeded();
  // The accepted socket inherits the listener's WSAAsyncSelect events and message.
  connections_.insert(socket);
  if (events_) events_->OnAccepted(socket);
}

void AsyncSelectLoop::Receive(uintptr_t socket) {
  if (finished_.count(socket)) return;  // told already: nothing more comes
  Socket reader(socket);
  if (ReadRequest(reader, socket, events_) == RequestSocket::Got::kEnd && connections_.count(socket))
    finished_.insert(socket);
}

void AsyncSelectLoop::PeerClosed(uintptr_t socket) {
  // A request that arrived just before the close is still served; and the peer may only have
  // shut down its sending side, so what is owed to it is still sent, until Close().
  char peek;
  const int n = recv(static_cast<SOCKET>(socket), &peek, 1, MSG_PEEK);
  if (n > 0) {
    Receive(socket);
    if (!connections_.count(socket)) return;
  } else if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
    return;  // still open: a stale event for a socket handle that has been reused
  }
  if (!finished_.insert(socket).second) return;
  if (events_) events_->OnPeerFinished(socket);
}

void AsyncSelectLoop::OnSocketMessage(uintptr_t socket, intptr_t lParam) {
  const int event = WSAGETSELECTEVENT(lParam);
  const int error = WSAGETSELECTERROR(lParam);
  if (socket == listener_ && listener_ != kNoSocket) {
    if (error) {
      if (events_) events_->OnListenerFailed(SocketFailure{error, "", nullptr});
      return;
    }
    // Closes that were queued before this event are taken first, so that a client who left
    // frees its slot for the one accepted now. Winsock asks for no other accept event until
    // accept() is called, and queues the next one behind whatever came meanwhile.
    // (A full queue cannot wait: accept now.)
    if (event == FD_ACCEPT && !PostMessageA(W(window_), kAcceptMessage, 0, 0)) Accept();
    return;
  }
  // Events still queued for a socket we have closed since are dropped.
  if (!connections_.count(socket)) return;
  if (error) {
    if (events_) events_->OnFailed(socket, SocketFailure{error, "", nullptr});
    return;
  }
  switch (event) {
    case FD_READ: Receive(socket); break;
    case FD_WRITE: if (events_) events_->OnWritable(socket); break;
    case FD_CLOSE: PeerClosed(socket); break;
    default: break;
  }
}

}  // namespace tavelor
