// The Linux event loop over real loopback sockets: what it reports, that watching for writable
// really brings the write event, and that a client's end of input ends nothing it is owed.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "server/connections.h"
#include "server/posix/epoll_loop.h"
#include "support/process.h"

namespace tavelor {
namespace {

struct Recorder : LoopEvents {
  EventLoop* loop = nullptr;
  std::vector<ConnectionId> accepted, writable, closed;
  std::vector<std::string> received;
  std::vector<SocketFailure> failures, listenerFailures;
  void OnTimer() override {}
  void OnListenerBound() override {}
  void OnListenerFailed(const SocketFailure& f) override { listenerFailures.push_back(f); }
  void OnAccepted(ConnectionId c) override { accepted.push_back(c); }
  void OnReceived(ConnectionId, const std::string& bytes) override { received.push_back(bytes); }
  void OnPeerFinished(ConnectionId c) override { loop->Close(c); }  // nothing owed to it
  void OnIdleCheck() override {}
  void OnWritable(ConnectionId c) override { writable.push_back(c); }
  void OnFailed(ConnectionId, const SocketFailure& f) override { failures.push_back(f); }
  void OnClosed(ConnectionId c) override { closed.push_back(c); }
};

class EpollLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    events.loop = &loop;
    loop.SetEvents(&events);
    port_ = testing::FreePort();
    SocketFailure failure;
    ASSERT_TRUE(loop.Listen(static_cast<uint16_t>(port_), &failure)) << failure.systemText;
  }
  void TearDown() override { loop.StopListening(); }

  // Runs the loop until `done`, at most two seconds.
  bool PollUntil(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      loop.PollOnce(20);
    }
    return true;
  }

  // receiveBuffer: the client's receive buffer in bytes (0: the system's).
  int ConnectClient(int receiveBuffer = 0) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    const sockaddr_in address = Address();
    EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const size_t before = events.accepted.size();
    EXPECT_TRUE(PollUntil([&] { return events.accepted.size() > before; }));
    return fd;
  }

  // Starts a connection without waiting for it, nor for the loop to accept it.
  int StartConnect() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const sockaddr_in address = Address();
    const int result = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    EXPECT_TRUE(result == 0 || errno == EINPROGRESS) << std::strerror(errno);
    return fd;
  }

  sockaddr_in Address() const {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }

  Recorder events;
  SteadyClock::time_point now = SteadyClock::now();  // the loop's clock: moves when a test says
  EpollLoop loop{"127.0.0.1", [this] { return now; }};

 private:
  int port_ = 0;
};

TEST_F(EpollLoopTest, AFullConnectionReportsWritableOnceItsClientReads) {
  const int client = ConnectClient();
  const ConnectionId server = events.accepted.back();
  // More than any socket buffer holds.
  const std::string big(16 << 20, 'x');
  const SendResult sent = loop.Send(server, big.data(), big.size());
  ASSERT_FALSE(sent.failed);
  ASSERT_TRUE(sent.wouldBlock);
  ASSERT_LT(sent.accepted, big.size());
  loop.WatchWritable(server, true);
  loop.PollOnce(50);
  EXPECT_TRUE(events.writable.empty()) << "nothing was read yet";

  char buffer[65536];
  size_t read = 0;
  while (read < sent.accepted) {
    const ssize_t n = recv(client, buffer, sizeof buffer, 0);
    ASSERT_GT(n, 0);
    read += static_cast<size_t>(n);
  }
  EXPECT_TRUE(PollUntil([&] { return !events.writable.empty(); }));
  loop.WatchWritable(server, false);
  close(client);
}

TEST_F(EpollLoopTest, ReadsAResetAndACloseEachAsTheirOwnEvent) {
  const int quiet = ConnectClient();
  const int reset = ConnectClient();
  const ConnectionId resetId = events.accepted.back();
  const int leaving = ConnectClient();
  const ConnectionId leavingId = events.accepted.back();

  ASSERT_EQ(send(quiet, "xxV100", 6, 0), 6);
  ASSERT_TRUE(PollUntil([&] { return !events.received.empty(); }));
  EXPECT_EQ(events.received, std::vector<std::string>{"xxV100"});

  const linger abort{1, 0};  // close with a reset
  setsockopt(reset, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  close(reset);
  ASSERT_TRUE(PollUntil([&] { return !events.failures.empty(); }));
  EXPECT_EQ(events.failures[0].number, ECONNRESET);
  EXPECT_STREQ(events.failures[0].api, "recv");
  EXPECT_TRUE(events.closed.empty()) << "a failed connection stays until it is closed";
  loop.Close(resetId);

  close(leaving);
  ASSERT_TRUE(PollUntil([&] { return events.closed.size() == 2; }));
  EXPECT_EQ(events.closed, (std::vector<ConnectionId>{resetId, leavingId}));
  close(quiet);
}

// How many of the clients have completed their connection, waiting up to `wait` for all of them.
size_t Established(const std::vector<int>& clients, std::chrono::milliseconds wait) {
  const auto until = std::chrono::steady_clock::now() + wait;
  size_t done = 0;
  while (true) {
    std::vector<pollfd> fds;
    for (int fd : clients) fds.push_back({fd, POLLOUT, 0});
    poll(fds.data(), fds.size(), 20);
    done = 0;
    for (const pollfd& p : fds) {
      int error = 1;
      socklen_t size = sizeof error;
      if ((p.revents & POLLOUT) && getsockopt(p.fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
          error == 0)
        ++done;
    }
    if (done == clients.size() || std::chrono::steady_clock::now() > until) return done;
  }
}

// A cockpit starting up: its panels connect at the same moment, before the server's loop has
// accepted any of them. Each must find room in the listen queue, or it waits a second or more
// for its own retry.
TEST_F(EpollLoopTest, PanelsConnectingAtOnceAreAllQueuedBeforeTheFirstAccept) {
  constexpr size_t kPanels = 100;
  std::vector<int> panels;
  for (size_t i = 0; i < kPanels; ++i) panels.push_back(StartConnect());
  EXPECT_EQ(Established(panels, std::chrono::milliseconds(1500 * testing::kSlowdown)), kPanels);
  EXPECT_TRUE(PollUntil([&] { return events.accepted.size() == kPanels; }));
  for (int fd : panels) close(fd);
}

// Every descriptor in use until it goes out of scope, the limit lowered to make that quick.
class DescriptorsUsedUp {
 public:
  DescriptorsUsedUp() {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit low = saved_;
    low.rlim_cur = std::min<rlim_t>(saved_.rlim_cur, 512);
    setrlimit(RLIMIT_NOFILE, &low);
    for (int fd; filler_.size() < 4096 && (fd = open("/dev/null", O_RDONLY)) >= 0;) filler_.push_back(fd);
    usedUp_ = errno == EMFILE;
  }
  ~DescriptorsUsedUp() {
    for (int fd : filler_) close(fd);
    setrlimit(RLIMIT_NOFILE, &saved_);
  }
  bool UsedUp() const { return usedUp_; }

 private:
  rlimit saved_{};
  std::vector<int> filler_;
  bool usedUp_ = false;
};

// Out of descriptors, accept fails for as long as the clients it would take are waiting: the
// loop says so once and rests the listener for a quarter of a second instead of calling accept
// on every pass, serves the connected client meanwhile, and takes the waiting one once the rest
// is over and descriptors are free again. The loop's clock is the test's: passes are counted by
// the accept calls they make, never against the time they take.
TEST_F(EpollLoopTest, AcceptWithoutDescriptorsIsLoggedOnceAndDoesNotSpin) {
  const int connected = ConnectClient();
  // One read before the descriptors run out: the undefined-behaviour sanitizer checks a class's
  // first use through a pipe, which it cannot open then, and would report a fault that isn't.
  ASSERT_EQ(send(connected, "xxV100", 6, 0), 6);
  ASSERT_TRUE(PollUntil([&] { return events.received.size() == 1; }));
  events.received.clear();
  const int waiting = StartConnect();
  {
    DescriptorsUsedUp usedUp;
    ASSERT_TRUE(usedUp.UsedUp());
    ASSERT_EQ(send(connected, "xxV100", 6, 0), 6);
    ASSERT_TRUE(PollUntil([&] { return !events.received.empty() && !events.listenerFailures.empty(); }));
    const uint64_t calls = loop.AcceptCalls();
    for (int pass = 0; pass < 50; ++pass) loop.PollOnce(0);
    EXPECT_EQ(loop.AcceptCalls(), calls) << "accept was tried again while the listener rests";
    now += AcceptBackoff::kPause;
    loop.PollOnce(0);
    EXPECT_EQ(loop.AcceptCalls(), calls + 1) << "the rest is over: one more try";
    ASSERT_EQ(events.listenerFailures.size(), 1u);
    EXPECT_EQ(events.listenerFailures[0].number, EMFILE);
    EXPECT_EQ(std::string(events.listenerFailures[0].api), "accept");
    EXPECT_EQ(events.received, std::vector<std::string>{"xxV100"});
    EXPECT_EQ(events.accepted.size(), 1u);
  }
  now += AcceptBackoff::kPause;
  EXPECT_TRUE(PollUntil([&] { return events.accepted.size() == 2; }));
  EXPECT_EQ(events.listenerFailures.size(), 1u);
  close(waiting);
  close(connected);
}

// The program's connections on the test's loop, its events forwarded to them as the program
// does, counting the reads and the refused. No simulator: only a version code is asked.
struct Served : LoopEvents {
  explicit Served(EventLoop& loop, UnsentLimits unsent = {}) : connections(&loop, state, unsent) {}
  IpcClient link{nullptr};
  RequestState state{link};
  Connections connections;
  size_t reads = 0;
  size_t refused = 0;
  bool closed = false;
  void OnTimer() override {}
  void OnListenerBound() override {}
  void OnListenerFailed(const SocketFailure&) override {}
  void OnAccepted(ConnectionId c) override { refused += !connections.Opened(c); }
  void OnReceived(ConnectionId c, const std::string& bytes) override {
    ++reads;
    connections.Received(c, bytes);
  }
  void OnPeerFinished(ConnectionId c) override { connections.PeerFinished(c); }
  void OnIdleCheck() override {}
  void OnWritable(ConnectionId c) override { connections.Writable(c); }
  void OnFailed(ConnectionId c, const SocketFailure& f) override { connections.Failed(c, f); }
  void OnClosed(ConnectionId c) override { closed = connections.Closed(c); }
};

// A client writes thousands of requests without reading, then shuts down its sending side: it
// is still owed every reply, and gets them all before the server closes.
TEST_F(EpollLoopTest, AClientThatHalfClosesGetsEveryReplyItIsOwed) {
  const int client = ConnectClient(4096);
  const int server = static_cast<int>(events.accepted.back());
  const int small = 4096;
  setsockopt(server, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  Served served(loop, UnsentLimits{64 << 20, 64 << 20});
  Connections& connections = served.connections;
  loop.SetEvents(&served);
  connections.Opened(server);

  // One request at a time, each read before the next is written.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5 * testing::kSlowdown);
  for (size_t i = 0; i < 20000 && connections.Unsent(server) < (16 << 10); ++i) {
    ASSERT_EQ(send(client, "xxV100", 6, 0), 6);
    while (served.reads == i && std::chrono::steady_clock::now() < until) loop.PollOnce(10);
  }
  ASSERT_GE(connections.Unsent(server), 16u << 10) << "the replies should wait in the server";
  ASSERT_EQ(shutdown(client, SHUT_WR), 0);

  std::string got;
  char buffer[65536];
  for (ssize_t n = 1; n != 0 && std::chrono::steady_clock::now() < until;) {
    loop.PollOnce(1);
    while ((n = recv(client, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) got.append(buffer, n);
  }
  std::string owed;
  for (size_t i = 0; i < served.reads; ++i) owed += "2.01b\r\n";
  EXPECT_TRUE(got == owed) << got.size() << " bytes of the " << owed.size() << " owed";
  EXPECT_TRUE(served.closed) << "closed once everything was sent";
  close(client);
}

// One client allowed: it leaves and another connects before the loop's next wait, which brings
// both. The close is taken first, so the newcomer finds the slot free.
TEST_F(EpollLoopTest, AClosingClientFreesItsSlotForOneAcceptedInTheSamePass) {
  Served served(loop);
  served.connections.SetClientLimits(ClientLimits{1, std::chrono::seconds(0)});
  loop.SetEvents(&served);
  const int leaving = StartConnect();
  ASSERT_TRUE(PollUntil([&] { return served.connections.Count() == 1; }));
  close(leaving);
  const int newcomer = StartConnect();
  ASSERT_EQ(Established({newcomer}, std::chrono::milliseconds(1000 * testing::kSlowdown)), 1u);
  ASSERT_TRUE(PollUntil([&] { return served.closed && served.connections.Count() == 1; }));
  EXPECT_EQ(served.refused, 0u);
  loop.SetEvents(&events);  // the connections go before the loop does
  close(newcomer);
}

// A storm of debug toggles fills the wake-up pipe; the quit that follows must still be seen,
// and the storm must cost one press of the switch at most, not one per signal.
TEST(EpollLoopSignals, AToggleStormNeitherHidesAQuitNorFloodsTheLoop) {
  ASSERT_TRUE(EpollLoop::InstallSignalPipe());
  const struct {
    int toggles;
    bool quit;
    int pressed;
  } cases[] = {
      {200001, true, 1},   // far more than the pipe holds
      {200000, false, 0},  // an even storm leaves the switch as it was
      {0, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.toggles);
    EpollLoop loop("127.0.0.1");
    int pressed = 0;
    loop.SetDebugToggle([&pressed] { ++pressed; });
    for (int i = 0; i < c.toggles; ++i) EpollLoop::RequestDebugToggle();
    if (c.quit) EpollLoop::RequestQuit();
    const bool goesOn = loop.PollOnce(1000) && loop.PollOnce(0);
    EXPECT_EQ(goesOn, !c.quit);
    EXPECT_EQ(pressed, c.pressed);
    EXPECT_TRUE(loop.PollOnce(0)) << "a quit is used up by the loop that saw it";
  }
}

}  // namespace
}  // namespace tavelor
