#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/posix/sim_server.h"
#include "sim/sim_service.h"
#include "simlink/posix/ipc_wire.h"
#include "support/link_wire.h"
#include "support/process.h"

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

using posixipc::Kind;
using posixipc::Message;
using std::chrono::milliseconds;

constexpr auto kWait = milliseconds(2000) * testing::kSlowdown;
constexpr auto kSilence = milliseconds(150);
const uint32_t kMessage = posixipc::MessageNumber("FsasmLib:IPC");

// A read of the FSUIPC version and a write of the library version, then the end marker.
const uint8_t kHandshakeRecords[] = {1, 0, 0, 0, 0x04, 0x33, 0, 0, 4, 0, 0, 0, 0x78, 0x56, 0x34,
                                     0x12, 0, 0, 0, 0, 2, 0, 0, 0, 0x0A, 0x33, 0, 0, 2, 0, 0, 0,
                                     0xD5, 0x07, 0, 0, 0, 0};

Message Exchange(uint32_t block, uint32_t sequence, Kind kind = Kind::kExchange) {
  return Message{kMessage, 0xC000, kind, block, sequence};
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

// A client that sends commands without reading their answers is cut off once more than the
// output bound waits for it, however its commands arrive.
TEST(ControlFlood, AClientPastTheOutputBoundIsCutOff) {
  std::string peeks;  // 131 KB of answer each
  for (int i = 0; i < 100; ++i) peeks += "peek 0 65536\n";
  const struct {
    const char* what;
    size_t commands, perRead;
    bool cutOff;
  } cases[] = {{"a hundred in one read", 100, 100, true},
               {"a hundred, five per read", 100, 5, true},
               {"sixty, within the bound", 60, 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimService service(SimOptions{});
    ASSERT_TRUE(service.AcceptControl(1));
    const auto done = [&] { return service.ControlDone(1, SimService::Clock::now()); };
    for (size_t i = 0; i < c.commands && !done(); i += c.perRead)
      service.ReceiveControl(1, peeks.data() + i * 13, c.perRead * 13, false);
    EXPECT_EQ(done(), c.cutOff);
    EXPECT_LE(service.ControlOutput(1).size(), SimService::kOutputHighWater + (1 << 18));
  }
}

// What a web page can make a browser send to the control channel (a request whose body holds
// commands) is refused at its first HTTP line, before anything after it runs; control lines
// that merely look alike are not.
TEST(ControlFromTheWeb, ALineThatLooksLikeHttpEndsTheSessionWithNothingMoreRun) {
  const struct {
    const char* sent;
    bool refused;
    const char* answers;
  } cases[] = {
      {"POST / HTTP/1.1\r\nHost: 127.0.0.1:9697\r\nContent-Type: text/plain\r\n\r\n"
       "set com1 121.50\npoke 0330 FFFF\nquit\n", true, ""},
      {"GET /stream HTTP/1.1\r\nquit\n", true, ""},
      {"get com1\nOrigin: http://example.com\nquit\n", true, "OK 118.25\n"},
      {"get com1\nHOST: 127.0.0.1\nquit\n", true, "OK 118.25\n"},
      {"set com1 121.50\nget com1\n", false, "OK\nOK 121.50\n"},
      {"replay at 70.000 HTTP/1.1\n", false, "ERR no recording: start the stand-in with --replay FILE\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sent);
    SimService service(SimOptions{});
    ASSERT_TRUE(service.AcceptControl(1));
    const bool quit = service.ReceiveControl(1, c.sent, std::strlen(c.sent), true);
    EXPECT_FALSE(quit);
    EXPECT_EQ(service.ControlDone(1, SimService::Clock::now()), c.refused);
    EXPECT_EQ(service.Peer().Control("peek 0330 2", nullptr), "OK 503F");  // no poke ran
    if (!c.refused) {
      EXPECT_EQ(service.ControlOutput(1), c.answers);
    }
  }
}

// Connections that say nothing cannot take every slot: once they have been quiet a moment, a
// newcomer takes the slot of the quietest, and is served.
TEST_F(SimServerTest, QuietControlClientsMakeRoomForANewcomer) {
  std::vector<std::unique_ptr<ControlClient>> quiet;
  for (size_t i = 0; i < SimService::kMaxControlClients; ++i) {
    quiet.push_back(std::make_unique<ControlClient>(server_->ControlPort()));
    ASSERT_EQ(quiet.back()->Ask("peek 3304 4"), "OK 00002040");
  }
  std::this_thread::sleep_for(SimService::kControlShareAfter + milliseconds(200));
  ControlClient newcomer(server_->ControlPort());
  EXPECT_EQ(newcomer.Ask("peek 3304 4"), "OK 00002040");
  EXPECT_EQ(quiet.front()->Ask("peek 3304 4"), "<closed>");  // the quietest gave up its slot
  EXPECT_EQ(quiet.back()->Ask("peek 3304 4"), "OK 00002040");
}

TEST_F(SimServerTest, AHandedOverBlockStaysMappedUntilReleased) {
  testing::TestBlock block(0x8000, true);
  ASSERT_NE(block.Bytes(), nullptr);
  std::memcpy(block.Bytes(), kHandshakeRecords, sizeof kHandshakeRecords);
  testing::WireEnd link = testing::WireEnd::Connect(socketPath_);
  ASSERT_TRUE(link.Valid());

  ASSERT_TRUE(link.Send(Exchange(5, 1, Kind::kExchangeWithBlock), block.Fd()));
  auto answer = link.ReadAnswer(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->sequence, 1u);
  EXPECT_EQ(answer->result, 1u);
  EXPECT_EQ(std::vector<uint8_t>(block.Bytes() + 12, block.Bytes() + 20),
            (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x20, 0x40}));

  // Later exchanges name the block only: the simulator still has it mapped.
  block.Bytes()[16] = 0;
  ASSERT_TRUE(link.Send(Exchange(5, 2)));
  answer = link.ReadAnswer(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->sequence, 2u);
  EXPECT_EQ(answer->result, 1u);
  EXPECT_EQ(block.Bytes()[16], 0x00) << "the preset version's first byte, read again";
  EXPECT_EQ(block.Bytes()[18], 0x20);

  // Released, the number means nothing any more; nor does a number never handed over.
  ASSERT_TRUE(link.Send(Message{kMessage, 0xC000, Kind::kReleaseBlock, 5, 3}));
  for (uint32_t number : {5u, 6u}) {
    ASSERT_TRUE(link.Send(Exchange(number, 4)));
    answer = link.ReadAnswer(kWait);
    ASSERT_TRUE(answer) << number;
    EXPECT_EQ(answer->result, 0u) << number;
  }

  ControlClient c(server_->ControlPort());
  EXPECT_EQ(c.Ask("journal"), "OK 4");
  EXPECT_EQ(c.Line(), "1 R 3304 4");
  EXPECT_EQ(c.Line(), "1 W 330A 2 D507");
  EXPECT_EQ(c.Line(), "2 R 3304 4");
  EXPECT_EQ(c.Line(), "2 W 330A 2 D507");
}

TEST_F(SimServerTest, RefusedAndFailedExchangesAnswerZeroWithTheirNumber) {
  testing::TestBlock block(0x8000, true);
  std::memcpy(block.Bytes(), kHandshakeRecords, sizeof kHandshakeRecords);
  testing::WireEnd link = testing::WireEnd::Connect(socketPath_);
  ASSERT_TRUE(link.Valid());
  ControlClient c(server_->ControlPort());
  ASSERT_EQ(c.Ask("fail 1"), "OK");

  ASSERT_TRUE(link.Send(Exchange(9, 70, Kind::kExchangeWithBlock), block.Fd()));
  auto answer = link.ReadAnswer(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->sequence, 70u);
  EXPECT_EQ(answer->result, 0u);
  EXPECT_EQ(block.Bytes()[16], 0) << "a failed exchange leaves the block alone";

  Message stray = Exchange(9, 71);
  stray.message = kMessage + 1;
  ASSERT_TRUE(link.Send(stray));
  answer = link.ReadAnswer(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->sequence, 71u);
  EXPECT_EQ(answer->result, 0u) << "not our message";

  ASSERT_TRUE(link.Send(Exchange(9, 72)));
  answer = link.ReadAnswer(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->result, 1u) << "the block refused by `fail` was kept all the same";
  EXPECT_EQ(c.Ask("journal"), "OK 2") << "only the exchange that went through";
}

TEST_F(SimServerTest, OnlyBlocksSealedAgainstShrinkingAreMapped) {
  struct Case {
    const char* what;
    size_t size;
    bool sealed;
    bool regularFile;
  };
  const Case cases[] = {
      {"unsealed memory file", 0x8000, false, false},
      {"empty sealed memory file", 0, true, false},
      {"regular file", 0x8000, false, true},
  };
  testing::WireEnd link = testing::WireEnd::Connect(socketPath_);
  ASSERT_TRUE(link.Valid());
  uint32_t sequence = 0;
  for (const Case& k : cases) {
    int fd;
    std::unique_ptr<testing::TestBlock> block;
    if (k.regularFile) {
      fd = ::open((dir_ + "/file").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      ASSERT_EQ(ftruncate(fd, static_cast<off_t>(k.size)), 0);
    } else {
      block = std::make_unique<testing::TestBlock>(k.size, k.sealed);
      fd = block->Fd();
    }
    ++sequence;
    ASSERT_TRUE(link.Send(Exchange(sequence, sequence, Kind::kExchangeWithBlock), fd));
    auto answer = link.ReadAnswer(kWait);
    ASSERT_TRUE(answer) << k.what;
    EXPECT_EQ(answer->result, 0u) << k.what;
    if (k.regularFile) {
      ::close(fd);
      ::unlink((dir_ + "/file").c_str());
    }
  }
}

TEST_F(SimServerTest, AnUnreadablePacketEndsOnlyItsOwnConnection) {
  testing::TestBlock block(0x8000, true);
  uint8_t good[posixipc::kMessageSize];
  posixipc::EncodeMessage(Exchange(1, 1), good);
  const std::string exchange(reinterpret_cast<char*>(good), sizeof good);
  struct Case {
    const char* what;
    std::string bytes;
    bool attach;
  };
  const Case cases[] = {
      {"short packet", exchange.substr(0, 10), false},
      {"long packet", exchange + "x", false},
      {"unknown kind", exchange.substr(0, 6) + std::string("\x09\x00", 2) + exchange.substr(8), false},
      {"a descriptor the message does not announce", exchange, true},
  };
  testing::WireEnd bystander = testing::WireEnd::Connect(socketPath_);
  ASSERT_TRUE(bystander.Valid());
  for (const Case& k : cases) {
    testing::WireEnd link = testing::WireEnd::Connect(socketPath_);
    ASSERT_TRUE(link.Valid()) << k.what;
    ASSERT_TRUE(link.SendRaw(k.bytes, k.attach ? block.Fd() : -1)) << k.what;
    EXPECT_TRUE(link.ClosedWithin(kWait)) << k.what;
  }
  ASSERT_TRUE(bystander.Send(Exchange(0, 8)));
  auto answer = bystander.ReadAnswer(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->sequence, 8u);
}

TEST_F(SimServerTest, AHungExchangeGoesUnansweredAndTheNextOnTheSameConnectionIsServed) {
  testing::TestBlock block(0x8000, true);
  std::memcpy(block.Bytes(), kHandshakeRecords, sizeof kHandshakeRecords);
  testing::WireEnd link = testing::WireEnd::Connect(socketPath_);
  ControlClient c(server_->ControlPort());
  ASSERT_EQ(c.Ask("hang 1"), "OK");
  ASSERT_TRUE(link.Send(Exchange(3, 1, Kind::kExchangeWithBlock), block.Fd()));
  EXPECT_FALSE(link.ReadAnswer(kSilence)) << "hung";
  ASSERT_TRUE(link.Send(Exchange(3, 2)));
  auto answer = link.ReadAnswer(kWait);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->sequence, 2u);
  EXPECT_EQ(answer->result, 1u) << "the block handed over with the hung message was kept";
}

TEST_F(SimServerTest, IdleConnectionsDoNotHoldTheLoop) {
  std::vector<testing::WireEnd> idle;
  for (int i = 0; i < 8; ++i) idle.push_back(testing::WireEnd::Connect(socketPath_));
  const auto start = std::chrono::steady_clock::now();
  ControlClient c(server_->ControlPort());
  EXPECT_EQ(c.Ask("peek 3304 1"), "OK 00");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1) * testing::kSlowdown);
  EXPECT_EQ(c.Ask("journal"), "OK 0") << "no exchange";
  for (auto& link : idle) EXPECT_FALSE(link.ClosedWithin(milliseconds(1))) << "links stay open";
}

// Out of descriptors, a waiting control client cannot be accepted: the simulator says so once
// and rests its listeners instead of spinning, and takes the client once descriptors are free.
TEST_F(SimServerTest, AcceptWithoutDescriptorsIsLoggedOnceAndDoesNotSpin) {
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const rlimit low{std::min<rlim_t>(saved.rlim_cur, 512), saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  // One session served before the descriptors run out, so that nothing the simulator does for
  // a client is done for the first time then (the undefined-behaviour sanitizer checks a class's
  // first use through a pipe, which it could not open, and would end the process).
  EXPECT_EQ(ControlClient(server_->ControlPort()).Ask("peek 3304 1"), "OK 00");
  ::testing::internal::CaptureStderr();
  std::vector<int> filler;
  for (int fd; filler.size() < 4096 && (fd = dup(2)) >= 0;) filler.push_back(fd);
  // One left, for the client; when another thread of the process took it first (a sanitizer's
  // runtime may), one more; and none left once the client is in, for the simulator's accept.
  std::unique_ptr<ControlClient> client;
  for (int spare = 0; spare < 4 && !(client && client->Connected()); ++spare) {
    close(filler.back());
    filler.pop_back();
    client = std::make_unique<ControlClient>(server_->ControlPort());
  }
  ControlClient& waiting = *client;
  for (int fd; (fd = dup(2)) >= 0;) filler.push_back(fd);
  ASSERT_TRUE(waiting.Connected());

  const std::clock_t before = std::clock();  // the processor time of the whole process
  std::this_thread::sleep_for(milliseconds(1000));
  EXPECT_LT(std::clock() - before, CLOCKS_PER_SEC / 10) << "the simulator spun on its listener";

  for (int fd : filler) close(fd);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_EQ(waiting.Ask("peek 3304 1"), "OK 00");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "tavelor-sim: cannot accept a connection (Too many open files); trying again every "
            "quarter of a second\n");
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
