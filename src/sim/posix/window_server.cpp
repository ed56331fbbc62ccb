#include "sim/posix/window_server.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "sim/sim_service.h"
#include "simlink/ipc_records.h"
#include "simlink/posix/ipc_folder.h"
#include "simlink/posix/ipc_packets.h"

namespace tavelor::sim {

namespace {

// The blocks one link has handed over, each mapped from its arrival until the link releases it
// or leaves. A link uses one block at a time; a few more cover blocks whose release notice was
// lost, and past them the oldest goes.
class MappedBlocks {
 public:
  static constexpr size_t kMaxBlocks = 4;

  MappedBlocks() = default;
  ~MappedBlocks() { Clear(); }
  MappedBlocks(MappedBlocks&& other) noexcept : blocks_(std::move(other.blocks_)) {
    other.blocks_.clear();
  }
  MappedBlocks& operator=(MappedBlocks&&) = delete;

  // Maps the memory file `fd` as block `id` (and closes `fd`), or refuses it: the link's
  // exchanges on it then find no block. Only a memory file sealed against shrinking is taken:
  // a mapped file that shrank would kill the simulator with SIGBUS on its next walk.
  void Take(uint32_t id, int fd) {
    Release(id);
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
    if (blocks_.size() >= kMaxBlocks) {
      ::munmap(blocks_.front().view, blocks_.front().size);
      blocks_.erase(blocks_.begin());
    }
    blocks_.push_back({id, static_cast<uint8_t*>(view), size});
  }

  void Release(uint32_t id) {
    for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
      if (it->id != id) continue;
      ::munmap(it->view, it->size);
      blocks_.erase(it);
      return;
    }
  }

  void Clear() {
    for (const Block& b : blocks_) ::munmap(b.view, b.size);
    blocks_.clear();
  }

  // The block's view and mapped size; nullptr for block 0 or one not mapped.
  uint8_t* Find(uint32_t id, size_t* size) const {
    for (const Block& b : blocks_) {
      if (b.id != id) continue;  // no block 0 is ever taken
      *size = b.size;
      return b.view;
    }
    return nullptr;
  }

 private:
  struct Block {
    uint32_t id;
    uint8_t* view;
    size_t size;
  };
  std::vector<Block> blocks_;  // oldest first
};

}  // namespace

struct WindowServer::Connection {
  int fd;
  MappedBlocks blocks;
};

WindowServer::WindowServer(SimService& service, AcceptRest& rest)
    : service_(service), rest_(rest), message_(posixipc::MessageNumber(ipc::kMessageName)) {}

WindowServer::~WindowServer() { CloseAll(); }

bool WindowServer::Open(const std::string& windowClass, std::string* error) {
  if (std::string problem = posixipc::CheckIpcFolder(posixipc::IpcDir(), true); !problem.empty()) {
    *error = problem;
    return false;
  }
  return socket_.Open(posixipc::WindowSocketPath(windowClass), error);
}

void WindowServer::CloseAll() {
  socket_.Close();
  for (Connection& c : connections_) ::close(c.fd);
  connections_.clear();  // their blocks are unmapped with them
}

void WindowServer::Watch(PollList& fds, bool acceptResting) {
  // poll() passes over a negative descriptor.
  listenerAt_ = fds.Add(acceptResting ? -1 : socket_.Fd(), POLLIN);
  firstConnectionAt_ = listenerAt_ + 1;
  for (const Connection& c : connections_) fds.Add(c.fd, POLLIN);
}

void WindowServer::Serve(const PollList& fds) {
  std::vector<Connection> kept;
  for (size_t i = 0; i < connections_.size(); ++i) {
    Connection& c = connections_[i];
    if (!fds.Ready(firstConnectionAt_ + i) || Read(c)) {
      kept.push_back(std::move(c));
    } else {
      ::close(c.fd);
    }
  }
  connections_ = std::move(kept);
}

void WindowServer::Accept(const PollList& fds) {
  if (!fds.Ready(listenerAt_)) return;
  for (;;) {
    const int fd = ::accept4(socket_.Fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (rest_.KeepAccepting(errno)) continue;
      return;
    }
    if (connections_.size() >= kMaxConnections) {
      ::close(fd);
      continue;
    }
    connections_.push_back({fd, {}});
  }
}

bool WindowServer::Read(Connection& c) {
  uint8_t packet[posixipc::kMessageSize + 1];
  std::vector<int> fds;
  bool cut = false;
  const ssize_t n = posixipc::ReceivePacket(c.fd, packet, sizeof packet, MSG_DONTWAIT, &fds, &cut);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  if (n == 0) {  // the link closed its end
    for (int fd : fds) ::close(fd);
    return false;
  }

  posixipc::Message m;
  const bool wellFormed = !cut &&
                          posixipc::DecodeMessage(packet, static_cast<size_t>(n), &m) &&
                          fds.size() == (m.kind == posixipc::Kind::kExchangeWithBlock ? 1u : 0u);
  if (!wellFormed || m.message != message_) {
    for (int fd : fds) ::close(fd);
    // A packet that cannot be read cannot be answered either: that link is done.
    if (!wellFormed) return false;
    // Not our message: like a window that ignores it, answer 0.
    posixipc::SendAnswerPacket(c.fd, {m.sequence, 0}, MSG_DONTWAIT);
    return true;
  }
  if (m.kind == posixipc::Kind::kReleaseBlock) {
    c.blocks.Release(m.block);
    return true;
  }
  // The block is kept even when this exchange goes unanswered: the link's next attempt
  // refers to it without handing it over again.
  if (m.kind == posixipc::Kind::kExchangeWithBlock) c.blocks.Take(m.block, fds[0]);
  if (service_.TakeHang()) return true;

  size_t size = 0;
  uint8_t* view = c.blocks.Find(m.block, &size);
  posixipc::SendAnswerPacket(c.fd, {m.sequence, service_.Exchange(view, size)},
                             MSG_DONTWAIT);
  return true;
}

}  // namespace tavelor::sim
