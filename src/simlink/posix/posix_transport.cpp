#include "simlink/posix/posix_transport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "simlink/posix/ipc_folder.h"
#include "simlink/posix/ipc_packets.h"

namespace tavelor {

namespace {

using Clock = std::chrono::steady_clock;

// How long finding a window may wait for a simulator too busy to take the connection.
constexpr uint32_t kConnectWaitMs = 200;

uint32_t MillisLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
}

bool SetTimeouts(int fd, uint32_t ms) {
  // A zero timeval would mean "wait for ever"; the shortest wait is one microsecond.
  const timeval tv{static_cast<time_t>(ms / 1000),
                   static_cast<suseconds_t>(ms == 0 ? 1 : (ms % 1000) * 1000)};
  return setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0 &&
         setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

// A connection to the simulator's socket; -1 with errno set on failure.
int ConnectTo(const std::string& path, uint32_t waitMs) {
  sockaddr_un address;
  if (!posixipc::FillUnixAddress(path, &address)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // The send time-out also bounds the wait for room in a busy simulator's backlog.
  SetTimeouts(fd, waitMs);
  int rc;
  do {
    rc = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) return fd;
  const int saved = errno;
  close(fd);
  errno = saved;
  return -1;
}

// The peer has not closed its end.
bool Connected(int fd) {
  pollfd p{fd, POLLIN | POLLRDHUP, 0};
  if (poll(&p, 1, 0) < 0) return true;
  return (p.revents & (POLLHUP | POLLERR | POLLRDHUP | POLLNVAL)) == 0;
}

// Answers already waiting before a message goes out cannot be its answer, whatever number they
// carry: a broken or hostile peer may answer numbers it has not been sent yet. They are dropped
// (a bounded number of them, so a peer that never stops sending cannot hold the link here).
void DropWaitingAnswers(int fd) {
  for (int i = 0; i < 1024; ++i) {
    uint8_t stale[posixipc::kMessageSize];
    const ssize_t n = recv(fd, stale, sizeof stale, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (n == 0 && !Connected(fd))) return;
  }
}

}  // namespace

PosixTransport::~PosixTransport() {
  for (auto& [view, length] : views_) munmap(view, length);
  for (auto& [ref, block] : blocks_) close(block.fd);
  for (auto& [ref, window] : windows_) close(window.fd);
}

void PosixTransport::ForgetWindow(std::map<WindowRef, Window>::iterator it) {
  close(it->second.fd);
  windows_.erase(it);
}

WindowRef PosixTransport::FindWindowByClass(const char* windowClass) {
  // A socket in a folder that others could write to may be anyone's: no window there.
  if (!posixipc::CheckIpcFolder(posixipc::IpcDir(), false).empty()) return 0;
  const std::string path = posixipc::WindowSocketPath(windowClass);
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (it->second.path != path) {
      ++it;
    } else if (Connected(it->second.fd)) {
      return it->first;  // the same window as before
    } else {
      ForgetWindow(it++);  // that simulator has gone; another may be there now
    }
  }
  const uint32_t wait = std::min(kConnectWaitMs, waitLimitMs_);
  const int fd = ConnectTo(path, wait);
  if (fd < 0) return 0;
  const WindowRef ref = nextWindow_++;
  windows_[ref] = Window{path, fd, {}, wait};
  return ref;
}

bool PosixTransport::WindowExists(WindowRef window) {
  auto it = windows_.find(window);
  return it != windows_.end() && Connected(it->second.fd);
}

uint32_t PosixTransport::RegisterMessage(const char* name) { return posixipc::MessageNumber(name); }

uint32_t PosixTransport::CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

uint16_t PosixTransport::AddAtom(const std::string& name) {
  if (name.empty() || name.size() > posixipc::kMaxNameLength) return 0;
  for (auto& [atom, entry] : atoms_) {
    if (entry.name == name) {
      ++entry.references;
      return atom;
    }
  }
  // The lowest free number: numbers come back when their atoms are deleted, so reconnecting
  // for ever never runs out of them.
  uint32_t free = kFirstAtom;
  for (const auto& [atom, entry] : atoms_) {
    if (atom != free) break;
    ++free;
  }
  if (free > kLastAtom) return 0;
  atoms_[static_cast<uint16_t>(free)] = Atom{name, 1};
  return static_cast<uint16_t>(free);
}

void PosixTransport::DeleteAtom(uint16_t atom) {
  auto it = atoms_.find(atom);
  if (it != atoms_.end() && --it->second.references == 0) atoms_.erase(it);
}

BlockCreate PosixTransport::CreateBlock(const std::string& name, uint32_t size, BlockRef* block) {
  *block = 0;
  // The name lives in this process only; another process cannot take it first.
  for (const auto& [ref, existing] : blocks_) {
    if (existing.name == name) {
      lastError_ = EEXIST;
      return BlockCreate::kAlreadyExists;
    }
  }
  const int fd = memfd_create("tavelor-link", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) {
    lastError_ = errno;
    return BlockCreate::kFailed;
  }
  // Sealed at its size: the peer maps it whole and can trust it never shrinks under it.
  if (ftruncate(fd, size) != 0 ||
      fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
    lastError_ = errno;
    close(fd);
    return BlockCreate::kFailed;
  }
  if (static_cast<uint32_t>(nextBlock_) == 0) ++nextBlock_;  // 0 means "no block" on the wire
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
  // Peers that have the block let go of it too. Nothing waits for them: a peer that cannot
  // take the notice now drops the block with the connection.
  for (auto& [ref, window] : windows_) {
    if (window.handed.erase(block) == 0) continue;
    posixipc::Message release;
    release.kind = posixipc::Kind::kReleaseBlock;
    release.block = static_cast<uint32_t>(block);
    posixipc::SendMessagePacket(window.fd, release, -1, MSG_DONTWAIT);
  }
  close(it->second.fd);
  blocks_.erase(it);
}

bool PosixTransport::SetSocketTimeouts(Window& window, uint32_t ms) {
  if (window.timeoutMs == ms) return true;
  if (!SetTimeouts(window.fd, ms)) return false;
  window.timeoutMs = ms;
  return true;
}

bool PosixTransport::SendMessageTimeout(WindowRef window, uint32_t message, uint16_t atom,
                                        uint32_t timeoutMs, uint32_t* result) {
  lastError_ = 0;
  auto win = windows_.find(window);
  auto atomEntry = atoms_.find(atom);
  if (win == windows_.end() || atomEntry == atoms_.end()) {
    lastError_ = EINVAL;
    return false;
  }
  Window& w = win->second;
  // The block the atom names; with none the peer finds nothing to walk and answers 0.
  BlockRef blockRef = 0;
  int blockFd = -1;
  for (const auto& [ref, block] : blocks_) {
    if (block.name == atomEntry->second.name) {
      blockRef = ref;
      blockFd = block.fd;
      break;
    }
  }
  const bool attach = blockRef != 0 && w.handed.count(blockRef) == 0;

  const uint32_t timeout = std::min(timeoutMs, waitLimitMs_);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
  if (++sequence_ == 0) ++sequence_;
  posixipc::Message out{message, atom,
                        attach ? posixipc::Kind::kExchangeWithBlock : posixipc::Kind::kExchange,
                        static_cast<uint32_t>(blockRef), sequence_};
  // A busy peer's full queue and a peer that does not answer both end as a time-out with no
  // system error, as a hung window does; a peer that has gone away gives its error at once.
  auto failed = [this](int error) {
    lastError_ = (error == EAGAIN || error == EWOULDBLOCK) ? 0 : static_cast<uint32_t>(error);
    return false;
  };
  SetSocketTimeouts(w, timeout);
  DropWaitingAnswers(w.fd);
  ssize_t n;
  do {
    n = posixipc::SendMessagePacket(w.fd, out, attach ? blockFd : -1, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return failed(errno);
  if (attach) w.handed.insert(blockRef);

  for (;;) {
    uint8_t in[posixipc::kMessageSize];
    n = recv(w.fd, in, sizeof in, 0);
    // A packet socket reads a zero-length packet as 0 bytes too: only a hang-up ends it.
    if (n == 0 && !Connected(w.fd)) return failed(ECONNRESET);
    if (n < 0 && errno != EINTR) return failed(errno);
    posixipc::Answer answer;
    if (n > 0 && posixipc::DecodeAnswer(in, static_cast<size_t>(n), &answer) &&
        answer.sequence == sequence_) {
      *result = answer.result;
      return true;
    }
    // An answer to an attempt that already timed out, an empty packet or an interruption:
    // wait on for ours within what is left of this attempt's time.
    const uint32_t left = MillisLeft(deadline);
    if (left == 0) return failed(EAGAIN);
    SetSocketTimeouts(w, left);
  }
}

void PosixTransport::Sleep(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, waitLimitMs_)));
}

}  // namespace tavelor
