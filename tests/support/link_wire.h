// Both ends of the Linux link's wire, for tests that play one of them by hand: a connection to
// a window socket that sends messages (with a block's descriptor attached or not) and reads
// answers, a window socket that a test serves itself, and blocks made the way the link makes
// them (or not quite).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simlink/posix/ipc_wire.h"

namespace tavelor::testing {

struct Received {
  posixipc::Message message;
  size_t bytes = 0;          // the packet's size
  std::vector<int> fds;      // descriptors that came with it (the receiver closes them)
};

// One end of a link connection.
class WireEnd {
 public:
  explicit WireEnd(int fd = -1) : fd_(fd) {}
  ~WireEnd();
  WireEnd(WireEnd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  WireEnd(const WireEnd&) = delete;
  WireEnd& operator=(const WireEnd&) = delete;

  // Connects to a window socket; Valid() tells whether it worked.
  static WireEnd Connect(const std::string& path);
  bool Valid() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  bool Send(const posixipc::Message& message, int attachFd = -1);
  bool SendRaw(const std::string& bytes, int attachFd = -1);
  bool Answer(uint32_t sequence, uint32_t result);
  // The next answer within the time, or nothing (also when the other end closed).
  std::optional<posixipc::Answer> ReadAnswer(std::chrono::milliseconds within);
  std::optional<Received> ReadMessage(std::chrono::milliseconds within);
  // The other end closed the connection within the time.
  bool ClosedWithin(std::chrono::milliseconds within);

 private:
  int fd_;
};

// A window socket that the test serves itself.
class WindowSocket {
 public:
  explicit WindowSocket(const std::string& path);
  ~WindowSocket();
  bool Listening() const { return fd_ >= 0; }
  WireEnd Accept(std::chrono::milliseconds within);
  // Connections waiting to be accepted, counted by accepting them all without waiting.
  int AcceptAll(std::vector<WireEnd>* into);

 private:
  int fd_ = -1;
  std::string path_;
};

// A block as the link makes it: an anonymous memory file of `size` bytes, sealed against
// shrinking when `sealed`. Mapped at Bytes().
class TestBlock {
 public:
  TestBlock(size_t size, bool sealed);
  ~TestBlock();
  int Fd() const { return fd_; }
  uint8_t* Bytes() const { return bytes_; }

 private:
  int fd_ = -1;
  uint8_t* bytes_ = nullptr;
  size_t size_;
};

}  // namespace tavelor::testing
