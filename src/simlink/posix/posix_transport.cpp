#include "simlink/posix/posix_transport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "simlink/posix/ipc_wire.h"

namespace tavelor {

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// A non-blocking connection to the simulator's socket; -1 with errno set on failure.
int ConnectTo(const std::string& path, Clock::time_point deadline) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  if (errno == EAGAIN || errno == EINPROGRESS) {
    // The peer's backlog is full: it exists but is busy. Wait for it within the time-out.
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, MillisLeft(deadline)) == 1) {
      int error = 0;
      socklen_t length = sizeof error;
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
      if (error == 0) return fd;
      errno = error;
    } else {
      errno = ETIMEDOUT;
    }
  }
  int saved = errno;
  close(fd);
  errno = saved;
  return -1;
}

bool Probe(const std::string& path) {
  int fd = ConnectTo(path, Clock::now() + std::chrono::milliseconds(200));
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace

PosixTransport::~PosixTransport() {
  for (auto& [view, length] : views_) munmap(view, length);
  for (auto& [ref, block] : blocks_) {
    close(block.fd);
    shm_unlink(posixipc::SharedMemoryName(block.name).c_str());
  }
}

WindowRef PosixTransport::FindWindowByClass(const char* windowClass) {
  const std::string path = posixipc::WindowSocketPath(windowClass);
  if (!Probe(path)) return 0;
  for (size_t i = 0; i < windows_.size(); ++i)
    if (windows_[i] == path) return i + 1;
  windows_.push_back(path);
  return windows_.size();
}

bool PosixTransport::WindowExists(WindowRef window) {
  return window >= 1 && window <= windows_.size() && Probe(windows_[window - 1]);
}

uint32_t PosixTransport::RegisterMessage(const char* name) { return posixipc::MessageNumber(name); }

uint32_t PosixTransport::CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

uint16_t PosixTransport::AddAtom(const std::string& name) {
  if (name.empty() || name.size() > posixipc::kMaxNameLength) return 0;
  for (auto& [atom, text] : atoms_)
    if (text == name) return atom;
  if (nextAtom_ == 0xFFFF) return 0;
  atoms_[nextAtom_] = name;
  return nextAtom_++;
}

void PosixTransport::DeleteAtom(uint16_t atom) { atoms_.erase(atom); }

BlockCreate PosixTransport::CreateBlock(const std::string& name, uint32_t size, BlockRef* block) {
  *block = 0;
  const std::string shmName = posixipc::SharedMemoryName(name);
  int fd = shm_open(shmName.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    lastError_ = errno;
    return errno == EEXIST ? BlockCreate::kAlreadyExists : BlockCreate::kFailed;
  }
  if (ftruncate(fd, size) != 0) {
    lastError_ = errno;
    close(fd);
    shm_unlink(shmName.c_str());
    return BlockCreate::kFailed;
  }
  *block = nextBlock_++;
  blocks_[*block] = Block{fd, name, size};
  return BlockCreate::kCreated;
}

uint8_t* PosixTransport::MapBlock(BlockRef block) {
  auto it = blocks_.find(block);
  if (it == blocks_.end()) return nullptr;
  void* view = mmap(nullptr, it->second.size, PROT_READ | PROT_WRITE, MAP_SHARED, it->second.fd, 0);
  if (view == MAP_FAILED) {
    lastError_ = errno;
    return nullptr;
  }
  views_[static_cast<uint8_t*>(view)] = it->second.size;
  return static_cast<uint8_t*>(view);
}

void PosixTransport::UnmapBlock(uint8_t* view) {
  auto it = views_.find(view);
  if (it == views_.end()) return;
  munmap(view, it->second);
  views_.erase(it);
}

void PosixTransport::CloseBlock(BlockRef block) {
  auto it = blocks_.find(block);
  if (it == blocks_.end()) return;
  close(it->second.fd);
  shm_unlink(posixipc::SharedMemoryName(it->second.name).c_str());
  blocks_.erase(it);
}

bool PosixTransport::SendMessageTimeout(WindowRef window, uint32_t message, uint16_t atom,
                                        uint32_t timeoutMs, uint32_t* result) {
  lastError_ = 0;
  auto atomName = atoms_.find(atom);
  if (window < 1 || window > windows_.size() || atomName == atoms_.end()) {
    lastError_ = EINVAL;
    return false;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::min(timeoutMs, waitLimitMs_));
  int fd = ConnectTo(windows_[window - 1], deadline);
  if (fd < 0) {
    lastError_ = errno == ETIMEDOUT ? 0 : errno;
    return false;
  }

  const std::string frame = posixipc::EncodeFrame({message, atom, atomName->second});

  size_t sent = 0;
  uint8_t answer[4];
  size_t received = 0;
  bool ok = false;
  while (true) {
    int wait = MillisLeft(deadline);
    pollfd p{fd, static_cast<short>(sent < frame.size() ? POLLOUT : POLLIN), 0};
    int ready = poll(&p, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;  // timed out: no system error, as with a hung window
    if (sent < frame.size()) {
      ssize_t n = send(fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) {
        lastError_ = n < 0 ? errno : EPIPE;
        break;
      }
      sent += n;
      continue;
    }
    ssize_t n = recv(fd, answer + received, sizeof answer - received, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      lastError_ = n < 0 ? errno : ECONNRESET;
      break;
    }
    received += n;
    if (received == sizeof answer) {
      *result = answer[0] | (answer[1] << 8) | (answer[2] << 16) |
                (static_cast<uint32_t>(answer[3]) << 24);
      ok = true;
      break;
    }
  }
  close(fd);
  return ok;
}

void PosixTransport::Sleep(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, waitLimitMs_)));
}

}  // namespace tavelor
