// The Linux event loop over real loopback sockets: what it reports, and that watching for
// writable really brings the write event.
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

#include "server/posix/poll_loop.h"
#include "support/process.h"

namespace tavelor {
namespace {

struct Recorder : LoopEvents {
  std::vector<ConnectionId> accepted, writable, closed;
  std::vector<std::string> received;
  std::vector<SocketFailure> failures, listenerFailures;
  void OnTimer() override {}
  void OnListenerBound() override {}
  void OnListenerFailed(const SocketFailure& f) override { listenerFailures.push_back(f); }
  void OnAccepted(ConnectionId c) override { accepted.push_back(c); }
  void OnReceived(ConnectionId, const std::string& bytes) override { received.push_back(bytes); }
  void OnWritable(ConnectionId c) override { writable.push_back(c); }
  void OnFailed(ConnectionId, const SocketFailure& f) override { failures.push_back(f); }
  void OnClosed(ConnectionId c) override { closed.push_back(c); }
};

class PollLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
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

  int ConnectClient() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
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
  PollLoop loop{"127.0.0.1"};

 private:
  int port_ = 0;
};

TEST_F(PollLoopTest, AFullConnectionReportsWritableOnceItsClientReads) {
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

TEST_F(PollLoopTest, ReadsAResetAndACloseEachAsTheirOwnEvent) {
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
TEST_F(PollLoopTest, PanelsConnectingAtOnceAreAllQueuedBeforeTheFirstAccept) {
  constexpr size_t kPanels = 100;
  std::vector<int> panels;
  for (size_t i = 0; i < kPanels; ++i) panels.push_back(StartConnect());
  EXPECT_EQ(Established(panels, std::chrono::milliseconds(1500 * testing::kSlowdown)), kPanels);
  EXPECT_TRUE(PollUntil([&] { return events.accepted.size() == kPanels; }));
  for (int fd : panels) close(fd);
}

// Out of descriptors, accept fails for as long as the clients it would take are waiting: the
// loop says so once and rests the listener instead of spinning, serves the connected client
// meanwhile, and takes the waiting one once descriptors are free again.
TEST_F(PollLoopTest, AcceptWithoutDescriptorsIsLoggedOnceAndDoesNotSpin) {
  const int connected = ConnectClient();
  const int waiting = StartConnect();

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 512);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> filler;
  const int null = open("/dev/null", O_RDONLY);
  ASSERT_GE(null, 0);
  for (int fd; filler.size() < 4096 && (fd = dup(null)) >= 0;) filler.push_back(fd);
  ASSERT_EQ(errno, EMFILE);

  ASSERT_EQ(send(connected, "xxV100", 6, 0), 6);
  int rounds = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
  while (std::chrono::steady_clock::now() < until) {
    loop.PollOnce(20);
    ++rounds;
  }
  EXPECT_LT(rounds, 200) << "the loop spun on the listener";
  ASSERT_EQ(events.listenerFailures.size(), 1u);
  EXPECT_EQ(events.listenerFailures[0].number, EMFILE);
  EXPECT_STREQ(events.listenerFailures[0].api, "accept");
  EXPECT_EQ(events.received, std::vector<std::string>{"xxV100"});
  EXPECT_EQ(events.accepted.size(), 1u);

  for (int fd : filler) close(fd);
  close(null);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_TRUE(PollUntil([&] { return events.accepted.size() == 2; }));
  EXPECT_EQ(events.listenerFailures.size(), 1u);
  close(waiting);
  close(connected);
}

// A storm of debug toggles fills the wake-up pipe; the quit that follows must still be seen,
// and the storm must cost one press of the switch at most, not one per signal.
TEST(PollLoopSignals, AToggleStormNeitherHidesAQuitNorFloodsTheLoop) {
  ASSERT_TRUE(PollLoop::InstallSignalPipe());
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
    PollLoop loop("127.0.0.1");
    int pressed = 0;
    loop.SetDebugToggle([&pressed] { ++pressed; });
    for (int i = 0; i < c.toggles; ++i) PollLoop::RequestDebugToggle();
    if (c.quit) PollLoop::RequestQuit();
    const bool goesOn = loop.PollOnce(1000) && loop.PollOnce(0);
    EXPECT_EQ(goesOn, !c.quit);
    EXPECT_EQ(pressed, c.pressed);
    EXPECT_TRUE(loop.PollOnce(0)) << "a quit is used up by the loop that saw it";
  }
}

}  // namespace
}  // namespace tavelor
