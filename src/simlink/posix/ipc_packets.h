// The packets of ipc_wire.h on a link's connection, with the block's descriptor passed along
// (SCM_RIGHTS): written once for the link, the stand-in and the tests that play either end.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "simlink/posix/ipc_wire.h"

namespace tavelor::posixipc {

// A peer never attaches more than one descriptor; room for a few shows one that does.
inline constexpr size_t kMaxPassedFds = 4;

// Sends `size` bytes as one packet, with `attachFd` attached unless it is -1. What sendmsg()
// returns; it never raises SIGPIPE. `flags` adds to that (MSG_DONTWAIT).
inline ssize_t SendPacket(int socket, const void* bytes, size_t size, int attachFd, int flags) {
  iovec iov{const_cast<void*>(bytes), size};
  msghdr header{};
  header.msg_iov = &iov;
  header.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (attachFd >= 0) {
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&header);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &attachFd, sizeof(int));
  }
  return ::sendmsg(socket, &header, MSG_NOSIGNAL | flags);
}

inline ssize_t SendMessagePacket(int socket, const Message& m, int attachFd, int flags) {
  uint8_t packet[kMessageSize];
  EncodeMessage(m, packet);
  return SendPacket(socket, packet, sizeof packet, attachFd, flags);
}

inline ssize_t SendAnswerPacket(int socket, const Answer& a, int flags) {
  uint8_t packet[kAnswerSize];
  EncodeAnswer(a, packet);
  return SendPacket(socket, packet, sizeof packet, -1, flags);
}

// Receives one packet of at most `capacity` bytes, and every descriptor that came with it into
// *fds (close-on-exec; the caller closes them). *cut tells that the packet or its descriptors
// did not fit. What recvmsg() returns.
inline ssize_t ReceivePacket(int socket, uint8_t* into, size_t capacity, int flags,
                             std::vector<int>* fds, bool* cut) {
  iovec iov{into, capacity};
  alignas(cmsghdr) char control[CMSG_SPACE(kMaxPassedFds * sizeof(int))];
  msghdr header{};
  header.msg_iov = &iov;
  header.msg_iovlen = 1;
  header.msg_control = control;
  header.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(socket, &header, MSG_CMSG_CLOEXEC | flags);
  *cut = n >= 0 && (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0;
  if (n < 0) return n;
  for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (size_t i = 0; i < count; ++i) {
      int fd;
      std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
      fds->push_back(fd);
    }
  }
  return n;
}

}  // namespace tavelor::posixipc
