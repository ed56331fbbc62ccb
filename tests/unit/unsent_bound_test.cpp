// Replies that clients leave unread: bounded per client and for all clients together, so slow
// readers cannot grow the server's memory without end.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "server/connections.h"
#include "support/scripted_loop.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

using testing::LogCapture;
using testing::ScriptedLoop;

// Hands the loop's close events back to the connections, as TfMain does.
struct CloseEvents : LoopEvents {
  Connections* connections = nullptr;
  void OnTimer() override {}
  void OnListenerBound() override {}
  void OnListenerFailed(const SocketFailure&) override {}
  void OnAccepted(ConnectionId) override {}
  void OnReceived(ConnectionId, const std::string&) override {}
  void OnPeerFinished(ConnectionId) override {}
  void OnIdleCheck() override {}
  void OnWritable(ConnectionId c) override { connections->Writable(c); }
  void OnFailed(ConnectionId, const SocketFailure&) override {}
  void OnClosed(ConnectionId c) override { connections->Closed(c); }
};

TEST(UnsentBound, PastABoundTheClientHoldingTheMostIsCutOffAndSaysWhy) {
  // Every client reads nothing; each request answers 7 bytes ("2.01b\r\n").
  const struct {
    const char* name;
    std::vector<std::pair<ConnectionId, int>> requests;  // client, how many in a row
    ConnectionId cut;
    std::string logged;
    size_t left;  // unsent bytes of the others, all together
  } cases[] = {
      {"all clients together: the heaviest other one goes",
       {{1, 14}, {2, 13}, {3, 2}},
       1,
       "- Error: Client cut off: 98 bytes of replies unread, the most while all clients held more "
       "than 200.",
       91 + 14},
      {"all clients together: the sender itself when it holds the most",
       {{1, 9}, {2, 9}, {3, 11}},
       3,
       "- Error: Client cut off: 77 bytes of replies unread, the most while all clients held more "
       "than 200.",
       63 + 63},
      {"one client alone", {{1, 15}}, 1,
       "- Error: Client cut off: 105 bytes of replies unread, more than 100 for one client.", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::SimLink link;
    LogCapture log(link.state);
    ScriptedLoop loop;
    CloseEvents events;
    Connections connections(&loop, link.state, UnsentLimits{100, 200});
    events.connections = &connections;
    loop.SetEvents(&events);
    for (ConnectionId client : {1, 2, 3}) loop.sockets[client].room = 0;

    for (const auto& [client, count] : c.requests) {
      for (int i = 0; i < count; ++i) connections.Received(client, "..V100");
    }
    EXPECT_EQ(loop.closed, std::vector<ConnectionId>{c.cut});
    EXPECT_EQ(log.lines, std::vector<std::string>{c.logged});
    EXPECT_EQ(connections.Unsent(c.cut), 0u);
    EXPECT_EQ(connections.UnsentTotal(), c.left);
    // The others keep their replies, in full, for when they read.
    for (auto& [client, socket] : loop.sockets) {
      const size_t held = connections.Unsent(client);
      loop.Drain(client);
      EXPECT_EQ(socket.wire.size(), held);
    }
    EXPECT_EQ(connections.UnsentTotal(), 0u);
  }
}

}  // namespace
}  // namespace tavelor
