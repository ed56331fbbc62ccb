// The stand-in simulator's sockets on Linux. Everything runs on one poll() loop: the window
// socket (one message per connection), the control listener and its clients, and a self-pipe
// that Stop() writes to. No connection can hold the loop: window connections that do not
// deliver a whole frame in time are dropped, and all sockets are non-blocking.
#include "sim/posix/sim_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "sim/sim_service.h"
#include "simlink/ipc_records.h"
#include "simlink/posix/ipc_wire.h"

namespace tavelor::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kFrameTimeout = std::chrono::seconds(2);
constexpr size_t kMaxWindowConnections = 64;

std::string ErrnoText(const std::string& what, int err) {
  return what + ": " + std::strerror(err);
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// mkdir -p, new levels with mode 0700.
bool MakeDirs(const std::string& dir, std::string* error) {
  if (dir.empty()) {
    *error = "empty IPC directory";
    return false;
  }
  for (size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos != dir.size() && dir[pos] != '/') continue;
    const std::string part = dir.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = ErrnoText("cannot create " + part, errno);
      return false;
    }
  }
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = dir + " is not a directory";
    return false;
  }
  return true;
}

bool FillUnixAddress(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return false;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Someone still accepts on the socket file: a live simulator, not a leftover.
bool SocketIsLive(const sockaddr_un& addr) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool live = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return live;
}

}  // namespace

struct SimServer::Impl {
  struct WindowConnection {
    int fd;
    std::string in;
    Clock::time_point deadline;  // max() once its exchange hangs: kept until the client leaves
  };

  explicit Impl(const SimServerOptions& o) : options(o), service(o) {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
      wakeRead = fds[0];
      wakeWrite = fds[1];
    }
  }
  ~Impl() {
    CloseAll();
    CloseFd(wakeRead);
    CloseFd(wakeWrite);
  }

  SimServerOptions options;
  SimService service;
  const uint32_t message = posixipc::MessageNumber(ipc::kMessageName);
  std::string socketPath;
  dev_t socketDev = 0;
  ino_t socketIno = 0;
  int windowFd = -1;
  int controlFd = -1;
  int wakeRead = -1;
  int wakeWrite = -1;
  std::vector<WindowConnection> windows;
  std::vector<int> controls;  // control clients' sockets, also their ids in the service

  bool OpenWindow(std::string* error);
  bool OpenControl(int port, int* actualPort, std::string* error);
  void CloseWindowListener();
  void CloseAll();
  // One pass of the loop; false when the loop must end.
  bool Serve();
  void AcceptWindows();
  void AcceptControl();
  bool ReadWindow(WindowConnection& w);  // false when the connection is done
  uint32_t Exchange(const std::string& name);
  bool ReadControl(int fd, bool* quit);  // false when the connection is done
  bool Flush(int fd);                    // false when the connection failed
  void CloseControl(int fd);
  void FlushForQuit();
};

bool SimServer::Impl::OpenWindow(std::string* error) {
  const std::string dir = posixipc::IpcDir();
  if (!MakeDirs(dir, error)) return false;
  const std::string path = posixipc::WindowSocketPath(options.windowClass);
  sockaddr_un addr;
  if (!FillUnixAddress(path, &addr)) {
    *error = "socket path too long: " + path;
    return false;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      *error = path + " exists and is not a socket";
      return false;
    }
    if (SocketIsLive(addr)) {
      *error = "another simulator already serves " + path;
      return false;
    }
    ::unlink(path.c_str());
  }
  windowFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (windowFd < 0) {
    *error = ErrnoText("cannot create the window socket", errno);
    return false;
  }
  if (::bind(windowFd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(windowFd, 16) != 0) {
    *error = ErrnoText("cannot listen on " + path, errno);
    CloseFd(windowFd);
    return false;
  }
  // Remember which file is ours, so closing never removes a successor's socket.
  if (::stat(path.c_str(), &st) == 0) {
    socketDev = st.st_dev;
    socketIno = st.st_ino;
  }
  socketPath = path;
  return true;
}

bool SimServer::Impl::OpenControl(int port, int* actualPort, std::string* error) {
  if (port < 0 || port > 65535) {
    *error = "bad control port " + std::to_string(port);
    return false;
  }
  controlFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (controlFd < 0) {
    *error = ErrnoText("cannot create the control socket", errno);
    return false;
  }
  const int on = 1;
  ::setsockopt(controlFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t len = sizeof addr;
  if (::bind(controlFd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(controlFd, 8) != 0 ||
      ::getsockname(controlFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    *error = ErrnoText("cannot listen on 127.0.0.1:" + std::to_string(port), errno);
    CloseFd(controlFd);
    return false;
  }
  *actualPort = ntohs(addr.sin_port);
  return true;
}

void SimServer::Impl::CloseWindowListener() {
  CloseFd(windowFd);
  if (socketPath.empty()) return;
  struct stat st {};
  if (::lstat(socketPath.c_str(), &st) == 0 && st.st_dev == socketDev &&
      st.st_ino == socketIno) {
    ::unlink(socketPath.c_str());
  }
  socketPath.clear();
}

void SimServer::Impl::CloseAll() {
  CloseWindowListener();
  CloseFd(controlFd);
  for (auto& w : windows) CloseFd(w.fd);
  windows.clear();
  for (int fd : controls) {
    service.CloseControl(fd);
    ::close(fd);
  }
  controls.clear();
}

void SimServer::Impl::AcceptWindows() {
  for (;;) {
    const int fd = ::accept4(windowFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;  // EAGAIN or a connection that died in the backlog
    if (windows.size() >= kMaxWindowConnections) {
      ::close(fd);
      continue;
    }
    windows.push_back({fd, {}, Clock::now() + kFrameTimeout});
  }
}

void SimServer::Impl::AcceptControl() {
  for (;;) {
    const int fd = ::accept4(controlFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (!service.AcceptControl(fd)) {
      ::close(fd);
      continue;
    }
    controls.push_back(fd);
  }
}

uint32_t SimServer::Impl::Exchange(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos ||
      name.find('/') != std::string::npos) {
    return service.Exchange(nullptr, 0);
  }
  const int fd = ::shm_open(posixipc::SharedMemoryName(name).c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return service.Exchange(nullptr, 0);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size <= 0) {
    ::close(fd);
    return service.Exchange(nullptr, 0);
  }
  // Never map past the object's end: touching such pages would raise SIGBUS.
  const size_t size = std::min<size_t>(ipc::kBlockSize, static_cast<size_t>(st.st_size));
  void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) return service.Exchange(nullptr, 0);
  const uint32_t answer = service.Exchange(static_cast<uint8_t*>(map), size);
  ::munmap(map, size);
  return answer;
}

bool SimServer::Impl::ReadWindow(WindowConnection& w) {
  char buf[512];
  const ssize_t n = ::recv(w.fd, buf, sizeof buf, 0);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  if (n == 0) return false;  // closed before a whole frame (a probe), or gave up waiting
  if (w.deadline == Clock::time_point::max()) return true;  // hung: nothing more is read
  w.in.append(buf, static_cast<size_t>(n));

  posixipc::Frame frame;
  const posixipc::FrameState state = posixipc::ParseFrame(w.in, &frame);
  if (state == posixipc::FrameState::kIncomplete) return true;
  uint32_t answer = 0;
  if (frame.message == message) {
    if (service.TakeHang()) {
      w.deadline = Clock::time_point::max();
      return true;
    }
    answer = state == posixipc::FrameState::kComplete ? Exchange(frame.name)
                                                      : service.Exchange(nullptr, 0);
  }
  // Anything else is not our message; like a window ignoring it, answer 0.
  const char out[4] = {static_cast<char>(answer), static_cast<char>(answer >> 8),
                       static_cast<char>(answer >> 16), static_cast<char>(answer >> 24)};
  ::send(w.fd, out, sizeof out, MSG_NOSIGNAL | MSG_DONTWAIT);
  return false;
}

bool SimServer::Impl::Flush(int fd) {
  std::string& out = service.ControlOutput(fd);
  while (!out.empty()) {
    const ssize_t n = ::send(fd, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    out.erase(0, static_cast<size_t>(n));
  }
  return true;
}

bool SimServer::Impl::ReadControl(int fd, bool* quit) {
  char buf[65536];
  const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  *quit = service.ReceiveControl(fd, buf, static_cast<size_t>(n), n == 0);
  return true;
}

void SimServer::Impl::CloseControl(int fd) {
  service.CloseControl(fd);
  ::close(fd);
}

// The answer to `quit` (and any other answers still pending) go out before the sockets close,
// bounded in time so a client that stopped reading cannot hold the simulator.
void SimServer::Impl::FlushForQuit() {
  const auto until = Clock::now() + SimService::kFlushTimeout;
  for (int fd : controls) {
    while (Flush(fd) && !service.ControlOutput(fd).empty()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    }
  }
}

bool SimServer::Impl::Serve() {
  std::vector<pollfd> fds;
  fds.push_back({wakeRead, POLLIN, 0});
  fds.push_back({windowFd, POLLIN, 0});
  fds.push_back({controlFd, POLLIN, 0});
  const size_t firstWindow = fds.size();
  auto nearest = service.NextControlDeadline();
  if (service.Flying()) nearest = std::min(nearest, Clock::now() + SimService::kTickInterval);
  for (const auto& w : windows) {
    fds.push_back({w.fd, POLLIN, 0});
    nearest = std::min(nearest, w.deadline);
  }
  const size_t firstControl = fds.size();
  for (int fd : controls) {
    short events = 0;
    if (service.WantsInput(fd)) events |= POLLIN;
    if (!service.ControlOutput(fd).empty()) events |= POLLOUT;
    fds.push_back({fd, events, 0});
  }
  int timeout = -1;
  if (nearest != Clock::time_point::max()) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now()).count();
    timeout = static_cast<int>(std::clamp<long long>(ms + 1, 0, 60000));
  }
  if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return false;

  if (fds[0].revents) {
    char drain[64];
    while (::read(wakeRead, drain, sizeof drain) > 0) {
    }
    return false;
  }
  const auto now = Clock::now();
  service.Tick(now);

  // Existing connections first: the lists may grow when the listeners accept below.
  std::vector<WindowConnection> keptWindows;
  for (size_t i = 0; i < windows.size(); ++i) {
    WindowConnection& w = windows[i];
    bool keep = true;
    if (fds[firstWindow + i].revents) keep = ReadWindow(w);
    if (keep && now >= w.deadline) keep = false;
    if (keep) {
      keptWindows.push_back(std::move(w));
    } else {
      CloseFd(w.fd);
    }
  }
  windows = std::move(keptWindows);

  bool quit = false;
  std::vector<int> keptControls;
  for (size_t i = 0; i < controls.size(); ++i) {
    const int fd = controls[i];
    const short revents = fds[firstControl + i].revents;
    bool keep = true;
    if (!quit && (revents & (POLLIN | POLLHUP | POLLERR)) && service.WantsInput(fd)) {
      keep = ReadControl(fd, &quit);
    }
    if (keep && (revents & (POLLOUT | POLLERR | POLLHUP))) keep = Flush(fd);
    if (keep && !quit && service.ControlDone(fd, now)) keep = false;
    if (keep) {
      keptControls.push_back(fd);
    } else {
      CloseControl(fd);
    }
  }
  controls = std::move(keptControls);

  if (quit) {
    // The window goes first, so a client that has read "OK" already finds the simulator gone.
    CloseWindowListener();
    FlushForQuit();
    return false;
  }
  if (fds[1].revents) AcceptWindows();
  if (fds[2].revents) AcceptControl();
  return true;
}

SimServer::SimServer(const SimServerOptions& options)
    : impl_(std::make_unique<Impl>(options)) {}

SimServer::~SimServer() { Stop(); }

bool SimServer::Open(std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  if (impl_->windowFd >= 0 || impl_->controlFd >= 0) {
    *error = "already open";
    return false;
  }
  if (impl_->wakeRead < 0) {
    *error = "cannot create the wake-up pipe";
    return false;
  }
  if (!impl_->OpenWindow(error)) return false;
  if (!impl_->OpenControl(impl_->options.controlPort, &controlPort_, error)) {
    impl_->CloseWindowListener();
    return false;
  }
  return true;
}

void SimServer::Run() {
  if (impl_->windowFd < 0 || impl_->controlFd < 0) {
    running_ = false;
    return;
  }
  running_ = true;
  while (impl_->Serve()) {
  }
  impl_->CloseAll();
  running_ = false;
}

void SimServer::Start() {
  if (thread_.joinable() || impl_->windowFd < 0) return;
  running_ = true;  // already true when Start() returns, so a watcher cannot miss the start
  thread_ = std::thread([this] { Run(); });
}

void SimServer::Stop() {
  if (impl_->wakeWrite >= 0) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(impl_->wakeWrite, &b, 1);
  }
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  if (!thread_.joinable() && !running_) {
    // Nothing serves any more: drop the listeners (and a wake-up byte meant for nobody).
    impl_->CloseAll();
    char drain[64];
    while (::read(impl_->wakeRead, drain, sizeof drain) > 0) {
    }
  }
}

}  // namespace tavelor::sim
