// The Linux event loop over real loopback sockets: what it reports, and that watching for
// writable really brings the write event.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
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
  std::vector<SocketFailure> failures;
  void OnTimer() override {}
  void OnListenerBound() override {}
  void OnListenerFailed(const SocketFailure&) override {}
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
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const size_t before = events.accepted.size();
    EXPECT_TRUE(PollUntil([&] { return events.accepted.size() > before; }));
    return fd;
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

}  // namespace
}  // namespace tavelor
