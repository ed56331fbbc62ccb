// The stand-in simulator's sockets on Linux. Everything runs on one poll() loop: the window
// socket and the links' connections to it (each kept open across exchanges, with the blocks
// handed over on it mapped until released), the control listener and its clients, and a
// self-pipe that Stop() writes to. No connection can hold the loop: every socket is
// non-blocking and every packet arrives whole.
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
#include "simlink/posix/ipc_folder.h"
#include "simlink/posix/ipc_wire.h"

namespace tavelor::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxWindowConnections = 64;
// A link uses one block at a time; a few more cover blocks whose release notice was lost.
constexpr size_t kMaxBlocksPerConnection = 4;

std::string ErrnoText(const std::string& what, int err) {
  return what + ": " + std::strerror(err);
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
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
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool live = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return live;
}

}  // namespace

struct SimServer::Impl {
  // A block a link handed over: mapped from its arrival until released or the link leaves.
  struct MappedBlock {
    uint32_t id;
    uint8_t* view;
    size_t size;
  };
  struct WindowConnection {
    int fd;
    std::vector<MappedBlock> blocks;  // oldest first
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
  Clock::time_point acceptPausedUntil{};  // both listeners rest until then

  bool OpenWindow(std::string* error);
  bool OpenControl(int port, int* actualPort, std::string* error);
  void CloseWindowListener();
  void CloseAll();
  // One pass of the loop; false when the loop must end.
  bool Serve();
  void AcceptWindows();
  void AcceptControl();
  bool KeepAccepting(int error);  // after a failed accept
  bool ReadWindow(WindowConnection& w);  // false when the connection is done
  void TakeBlock(WindowConnection& w, uint32_t id, int fd);
  void ReleaseBlock(WindowConnection& w, uint32_t id);
  void CloseWindowConnection(WindowConnection& w);
  bool ReadControl(int fd, bool* quit);  // false when the connection is done
  bool Flush(int fd);                    // false when the connection failed
  void CloseControl(int fd);
  void FlushForQuit();
};

bool SimServer::Impl::OpenWindow(std::string* error) {
  if (std::string problem = posixipc::CheckIpcFolder(posixipc::IpcDir(), true); !problem.empty()) {
    *error = problem;
    return false;
  }
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
  windowFd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
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
  for (auto& w : windows) CloseWindowConnection(w);
  windows.clear();
  for (int fd : controls) {
    service.CloseControl(fd);
    ::close(fd);
  }
  controls.clear();
}

// True to try again at once (that client left before it was taken, or a signal came). Any
// other failure but "nothing waiting" would only repeat (out of descriptors or memory, mostly),
// so the listeners rest for a while. "Nothing waiting" also says that a descriptor was to be
// had: the kernel takes one before it looks at the queue.
bool SimServer::Impl::KeepAccepting(int error) {
  if (error == EINTR || error == ECONNABORTED || error == EPROTO) return true;
  if (error == EAGAIN || error == EWOULDBLOCK) {
    service.AcceptRecovered();
  } else {
    acceptPausedUntil = Clock::now() + SimService::kAcceptPause;
    service.AcceptFailed(std::strerror(error));
  }
  return false;
}

void SimServer::Impl::AcceptWindows() {
  for (;;) {
    const int fd = ::accept4(windowFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (KeepAccepting(errno)) continue;
      return;
    }
    if (windows.size() >= kMaxWindowConnections) {
      ::close(fd);
      continue;
    }
    windows.push_back({fd, {}});
  }
}

void SimServer::Impl::AcceptControl() {
  for (;;) {
    const int fd = ::accept4(controlFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (KeepAccepting(errno)) continue;
      return;
    }
    if (!service.AcceptControl(fd)) {
      ::close(fd);
      continue;
    }
    controls.push_back(fd);
  }
}

void SimServer::Impl::CloseWindowConnection(WindowConnection& w) {
  for (const MappedBlock& b : w.blocks) ::munmap(b.view, b.size);
  w.blocks.clear();
  CloseFd(w.fd);
}

void SimServer::Impl::ReleaseBlock(WindowConnection& w, uint32_t id) {
  for (auto it = w.blocks.begin(); it != w.blocks.end(); ++it) {
    if (it->id != id) continue;
    ::munmap(it->view, it->size);
    w.blocks.erase(it);
    return;
  }
}

// Maps a handed-over block, or refuses it (the link's exchanges on it then find no block).
// Only a memory file sealed against shrinking is taken: a mapped file that shrank would kill
// the simulator with SIGBUS on its next walk.
void SimServer::Impl::TakeBlock(WindowConnection& w, uint32_t id, int fd) {
  ReleaseBlock(w, id);
  const int seals = ::fcntl(fd, F_GET_SEALS);
  struct stat st {};
  if (id == 0 || seals < 0 || !(seals & F_SEAL_SHRINK) || ::fstat(fd, &st) != 0 ||
      st.st_size <= 0) {
    ::close(fd);
    return;
  }
  const size_t size = std::min<size_t>(ipc::kBlockSize, static_cast<size_t>(st.st_size));
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ::close(fd);
  if (view == MAP_FAILED) return;
  if (w.blocks.size() >= kMaxBlocksPerConnection) {
    ::munmap(w.blocks.front().view, w.blocks.front().size);
    w.blocks.erase(w.blocks.begin());
  }
  w.blocks.push_back({id, static_cast<uint8_t*>(view), size});
}

bool SimServer::Impl::ReadWindow(WindowConnection& w) {
  uint8_t packet[posixipc::kMessageSize + 1];
  iovec iov{packet, sizeof packet};
  alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
  msghdr header{};
  header.msg_iov = &iov;
  header.msg_iovlen = 1;
  header.msg_control = control;
  header.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(w.fd, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  if (n == 0) return false;  // the link closed its end

  std::vector<int> fds;
  for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (size_t i = 0; i < count; ++i) {
      int fd;
      std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
      fds.push_back(fd);
    }
  }
  posixipc::Message m;
  const bool wellFormed = !(header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) &&
                          posixipc::DecodeMessage(packet, static_cast<size_t>(n), &m) &&
                          fds.size() == (m.kind == posixipc::Kind::kExchangeWithBlock ? 1u : 0u);
  if (!wellFormed || m.message != message) {
    for (int fd : fds) ::close(fd);
    // A packet that cannot be read cannot be answered either: that link is done.
    if (!wellFormed) return false;
    // Not our message: like a window that ignores it, answer 0.
    uint8_t out[posixipc::kAnswerSize];
    posixipc::EncodeAnswer({m.sequence, 0}, out);
    ::send(w.fd, out, sizeof out, MSG_NOSIGNAL | MSG_DONTWAIT);
    return true;
  }
  if (m.kind == posixipc::Kind::kReleaseBlock) {
    ReleaseBlock(w, m.block);
    return true;
  }
  // The block is kept even when this exchange goes unanswered: the link's next attempt
  // refers to it without handing it over again.
  if (m.kind == posixipc::Kind::kExchangeWithBlock) TakeBlock(w, m.block, fds[0]);
  if (service.TakeHang()) return true;

  uint32_t answer;
  auto block = std::find_if(w.blocks.begin(), w.blocks.end(),
                            [&](const MappedBlock& b) { return b.id == m.block && m.block != 0; });
  if (block == w.blocks.end()) {
    answer = service.Exchange(nullptr, 0);
  } else {
    answer = service.Exchange(block->view, block->size);
  }
  uint8_t out[posixipc::kAnswerSize];
  posixipc::EncodeAnswer({m.sequence, answer}, out);
  ::send(w.fd, out, sizeof out, MSG_NOSIGNAL | MSG_DONTWAIT);
  return true;
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
  const bool resting = Clock::now() < acceptPausedUntil;  // poll() passes over a negative fd
  fds.push_back({wakeRead, POLLIN, 0});
  fds.push_back({resting ? -1 : windowFd, POLLIN, 0});
  fds.push_back({resting ? -1 : controlFd, POLLIN, 0});
  const size_t firstWindow = fds.size();
  auto nearest = service.NextControlDeadline();
  if (service.Flying()) nearest = std::min(nearest, Clock::now() + SimService::kTickInterval);
  if (resting) nearest = std::min(nearest, acceptPausedUntil);
  for (const auto& w : windows) fds.push_back({w.fd, POLLIN, 0});
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
    if (keep) {
      keptWindows.push_back(std::move(w));
    } else {
      CloseWindowConnection(w);
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
  if (!impl_->service.StartProblem().empty()) {
    *error = impl_->service.StartProblem();
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
