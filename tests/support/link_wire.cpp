#include "support/link_wire.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "simlink/posix/ipc_folder.h"
#include "simlink/posix/ipc_packets.h"

namespace tavelor::testing {

namespace {

sockaddr_un Address(const std::string& path) {
  sockaddr_un address;
  posixipc::FillUnixAddress(path, &address);  // the tests' paths are short
  return address;
}

bool Readable(int fd, std::chrono::milliseconds within) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(within.count())) == 1;
}

}  // namespace

WireEnd::~WireEnd() {
  if (fd_ >= 0) ::close(fd_);
}

WireEnd WireEnd::Connect(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  const sockaddr_un address = Address(path);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return WireEnd(-1);
  }
  return WireEnd(fd);
}

bool WireEnd::SendRaw(const std::string& bytes, int attachFd) {
  return posixipc::SendPacket(fd_, bytes.data(), bytes.size(), attachFd, 0) ==
         static_cast<ssize_t>(bytes.size());
}

bool WireEnd::Send(const posixipc::Message& message, int attachFd) {
  return posixipc::SendMessagePacket(fd_, message, attachFd, 0) ==
         static_cast<ssize_t>(posixipc::kMessageSize);
}

bool WireEnd::Answer(uint32_t sequence, uint32_t result) {
  return posixipc::SendAnswerPacket(fd_, {sequence, result}, 0) ==
         static_cast<ssize_t>(posixipc::kAnswerSize);
}

std::optional<posixipc::Answer> WireEnd::ReadAnswer(std::chrono::milliseconds within) {
  if (!Readable(fd_, within)) return std::nullopt;
  uint8_t packet[64];
  const ssize_t n = ::recv(fd_, packet, sizeof packet, 0);
  posixipc::Answer answer;
  if (n <= 0 || !posixipc::DecodeAnswer(packet, static_cast<size_t>(n), &answer)) return std::nullopt;
  return answer;
}

std::optional<Received> WireEnd::ReadMessage(std::chrono::milliseconds within) {
  if (!Readable(fd_, within)) return std::nullopt;
  uint8_t packet[64];
  Received got;
  bool cut = false;
  const ssize_t n = posixipc::ReceivePacket(fd_, packet, sizeof packet, 0, &got.fds, &cut);
  if (n <= 0) {
    for (int fd : got.fds) ::close(fd);
    return std::nullopt;
  }
  got.bytes = static_cast<size_t>(n);
  posixipc::DecodeMessage(packet, got.bytes, &got.message);
  return got;
}

bool WireEnd::ClosedWithin(std::chrono::milliseconds within) {
  if (!Readable(fd_, within)) return false;
  char byte[64];
  return ::recv(fd_, byte, sizeof byte, MSG_DONTWAIT) == 0;
}

WindowSocket::WindowSocket(const std::string& path) : path_(path) {
  fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  const sockaddr_un address = Address(path);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd_, 16) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

WindowSocket::~WindowSocket() {
  if (fd_ >= 0) ::close(fd_);
  ::unlink(path_.c_str());
}

WireEnd WindowSocket::Accept(std::chrono::milliseconds within) {
  if (!Readable(fd_, within)) return WireEnd(-1);
  return WireEnd(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

int WindowSocket::AcceptAll(std::vector<WireEnd>* into) {
  int count = 0;
  while (Readable(fd_, std::chrono::milliseconds(0))) {
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return count;
    ++count;
    into->emplace_back(fd);
  }
  return count;
}

TestBlock::TestBlock(size_t size, bool sealed) : size_(size) {
  fd_ = ::memfd_create("tavelor-test", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd_ < 0 || ::ftruncate(fd_, static_cast<off_t>(size)) != 0) return;
  if (sealed) ::fcntl(fd_, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW);
  if (size == 0) return;
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (view != MAP_FAILED) bytes_ = static_cast<uint8_t*>(view);
}

TestBlock::~TestBlock() {
  if (bytes_) ::munmap(bytes_, size_);
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace tavelor::testing
