#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/posix/sim_server.h"
#include "support/process.h"
#include "simlink/posix/ipc_wire.h"

namespace tavelor::sim {
namespace {

void SetTimeouts(int fd) {
  const timeval tv{3, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// A line-oriented control connection with bounded reads.
class ControlClient {
 public:
  explicit ControlClient(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    SetTimeouts(fd_);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~ControlClient() { close(fd_); }
  bool Connected() const { return connected_; }
  void Send(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = send(fd_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
  std::string Line() {
    for (;;) {
      if (const size_t nl = buffer_.find('\n'); nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      char buf[4096];
      const ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return "<closed>";
      buffer_.append(buf, static_cast<size_t>(n));
    }
  }
  std::string Ask(const std::string& command) {
    Send(command + "\n");
    return Line();
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  std::string buffer_;
};

// Sends one frame on the window socket; returns the answer, or -1 when none came.
int64_t SendFrame(const std::string& path, const std::string& frame) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  SetTimeouts(fd);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  int64_t result = -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size())) {
    unsigned char answer[4];
    if (recv(fd, answer, 4, MSG_WAITALL) == 4)
      result = answer[0] | answer[1] << 8 | answer[2] << 16 | int64_t{answer[3]} << 24;
  }
  close(fd);
  return result;
}

std::string Frame(uint32_t message, const std::string& name) {
  std::string f;
  for (int i = 0; i < 4; ++i) f += static_cast<char>(message >> (8 * i));
  f += '\x01', f += '\xC0';
  f += static_cast<char>(name.size()), f += static_cast<char>(name.size() >> 8);
  return f + name;
}

class SimServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tavelor-sim-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    setenv("TAVELOR_IPC_DIR", (dir_ + "/ipc").c_str(), 1);
    socketPath_ = dir_ + "/ipc/UIPCMAIN";
    SimServerOptions options;
    options.controlPort = 0;
    server_ = std::make_unique<SimServer>(options);
    std::string error;
    ASSERT_TRUE(server_->Open(&error)) << error;
    server_->Start();
  }
  void TearDown() override {
    server_.reset();
    unlink(socketPath_.c_str());
    rmdir((dir_ + "/ipc").c_str());
    rmdir(dir_.c_str());
    unsetenv("TAVELOR_IPC_DIR");
  }
  bool SocketExists() const {
    struct stat st {};
    return lstat(socketPath_.c_str(), &st) == 0;
  }

  std::string dir_;
  std::string socketPath_;
  std::unique_ptr<SimServer> server_;
};

TEST_F(SimServerTest, ControlClientsShareOneSimulator) {
  ControlClient a(server_->ControlPort()), b(server_->ControlPort());
  ASSERT_TRUE(a.Connected() && b.Connected());
  EXPECT_EQ(a.Ask("peek 034E 2"), "OK 2518") << "parked aircraft preset";
  EXPECT_EQ(b.Ask("poke 034E 1921\r"), "OK");
  EXPECT_EQ(a.Ask("peek 034E 2"), "OK 1921");
  a.Send("peek 3304 4\nbogus\n");
  EXPECT_EQ(a.Line(), "OK 00002040");
  EXPECT_EQ(a.Line().substr(0, 4), "ERR ");
}

TEST_F(SimServerTest, OverlongLineIsRefusedAndTheConnectionGoesOn) {
  ControlClient c(server_->ControlPort());
  c.Send(std::string((1 << 20) + 1000, 'x'));
  EXPECT_EQ(c.Line(), "ERR line too long");
  c.Send("still the same line\npeek 3304 4\n");
  EXPECT_EQ(c.Line(), "OK 00002040");
}

TEST_F(SimServerTest, ExchangeThroughSharedMemory) {
  const std::string name = "TavelorSimTest:" + std::to_string(getpid()) + ":1";
  const std::string shmName = posixipc::SharedMemoryName(name);
  const int fd = shm_open(shmName.c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 0x8000), 0);
  auto* block = static_cast<uint8_t*>(mmap(nullptr, 0x8000, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
  close(fd);
  ASSERT_NE(block, MAP_FAILED);
  const uint8_t records[] = {1, 0, 0, 0, 0x04, 0x33, 0, 0, 4, 0, 0, 0, 0x78, 0x56, 0x34, 0x12,
                             0, 0, 0, 0, 2,    0,    0, 0, 0x0A, 0x33, 0, 0, 2, 0, 0, 0,
                             0xD5, 0x07, 0, 0, 0, 0};
  std::memcpy(block, records, sizeof records);

  const uint32_t message = posixipc::MessageNumber("FsasmLib:IPC");
  EXPECT_EQ(SendFrame(socketPath_, Frame(message, name)), 1);
  EXPECT_EQ(std::vector<uint8_t>(block + 12, block + 20),
            (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x20, 0x40}));

  // Messages that cannot be served answer 0; only ours count as exchanges.
  EXPECT_EQ(SendFrame(socketPath_, Frame(message, "NoSuchBlock:1")), 0);
  EXPECT_EQ(SendFrame(socketPath_, Frame(message + 1, name)), 0);
  {
    ControlClient c(server_->ControlPort());
    EXPECT_EQ(c.Ask("fail 1"), "OK");
  }
  block[16] = 0;
  EXPECT_EQ(SendFrame(socketPath_, Frame(message, name)), 0);
  EXPECT_EQ(block[16], 0) << "a failed exchange leaves the block alone";

  ControlClient c(server_->ControlPort());
  EXPECT_EQ(c.Ask("journal"), "OK 2");
  EXPECT_EQ(c.Line(), "1 R 3304 4");
  EXPECT_EQ(c.Line(), "1 W 330A 2 D507");
  munmap(block, 0x8000);
  shm_unlink(shmName.c_str());
}

TEST_F(SimServerTest, SilentOrSlowWindowConnectionsDoNotHoldTheLoop) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, socketPath_.c_str(), sizeof addr.sun_path - 1);
  // A probe: connect and close without a frame.
  const int probe = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(probe);
  // A connection that stops mid-frame and keeps the socket open.
  const int stuck = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(connect(stuck, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(send(stuck, "\x01\x02", 2, MSG_NOSIGNAL), 2);

  const auto start = std::chrono::steady_clock::now();
  ControlClient c(server_->ControlPort());
  EXPECT_EQ(c.Ask("peek 3304 1"), "OK 00");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1) * testing::kSlowdown);
  EXPECT_EQ(c.Ask("journal"), "OK 0") << "neither was an exchange";
  // The stuck connection is dropped after a short grace time, unanswered.
  SetTimeouts(stuck);
  char byte;
  EXPECT_EQ(recv(stuck, &byte, 1, 0), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3) * testing::kSlowdown);
  close(stuck);
}

TEST_F(SimServerTest, QuitRemovesTheWindowAndStops) {
  ASSERT_TRUE(SocketExists());
  ControlClient c(server_->ControlPort());
  EXPECT_EQ(c.Ask("quit"), "OK");
  EXPECT_FALSE(SocketExists()) << "gone by the time the answer arrives";
  for (int i = 0; i < 300 && server_->Running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(server_->Running());
  EXPECT_EQ(ControlClient(server_->ControlPort()).Connected(), false);
}

TEST_F(SimServerTest, StaleSocketIsReplacedButALiveOneIsNot) {
  SimServerOptions options;
  options.controlPort = 0;
  SimServer second(options);
  std::string error;
  EXPECT_FALSE(second.Open(&error)) << "the first simulator still serves";
  EXPECT_TRUE(SocketExists()) << "and its socket stays";

  server_->Stop();
  EXPECT_FALSE(SocketExists());
  // Leave a dead socket file behind, as a crashed simulator would.
  const int dead = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, socketPath_.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(dead, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(dead);
  SimServer third(options);
  EXPECT_TRUE(third.Open(&error)) << error;
}

}  // namespace
}  // namespace tavelor::sim
