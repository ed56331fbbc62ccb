// The program's lifecycle and its connections, over a scripted event loop and a fake link.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/tf_main.h"
#include "simlink/ipc_client.h"
#include "support/fake_transport.h"
#include "support/scripted_loop.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

using testing::FakeTransport;
using testing::RecordingView;
using testing::ScriptedLoop;

using Lines = std::vector<std::string>;

class TfMainTest : public ::testing::Test {
 protected:
  // Started, connected to the simulator and listening; the log emptied.
  void Serve() {
    main.Start("/opt/tavelor/");
    main.Tick();
    view.log.clear();
  }

  FakeTransport transport;
  ScriptedLoop loop;
  RecordingView view;
  TfMain main{&view, &loop, &transport};
};

TEST_F(TfMainTest, StartWaitsSilentlyForTheSimulatorThenListensOnce) {
  transport.windows["UIPCMAIN"] = false;
  main.Start("/opt/tavelor/");
  EXPECT_EQ(view.caption, "Tavelor Server v2.02A");
  EXPECT_TRUE(view.movedToTopLeft);
  EXPECT_TRUE(loop.timerRunning);
  EXPECT_EQ(main.State().AppFolder, "/opt/tavelor/");
  EXPECT_EQ(main.State().SpeedRefMode, 1);
  for (int tick = 0; tick < 3; ++tick) main.Tick();
  EXPECT_EQ(view.log, (Lines{"- Tavelor Server v2.02A", "- Note: Run in administrator mode",
                             "- Connecting to Fsuipc . . ."}));
  transport.windows["UIPCMAIN"] = true;
  main.Tick();
  EXPECT_FALSE(loop.timerRunning);
  EXPECT_EQ(loop.listens, 1);
  EXPECT_TRUE(main.Listening());
  EXPECT_EQ(Lines(view.log.begin() + 3, view.log.end()),
            (Lines{"- Fsuipc Connected OK", "- Listening Port 9696 ...", "- IP: 192.0.2.7"}));
}

TEST_F(TfMainTest, ListenerErrorsAreLoggedAndShownAndNotRetried) {
  const struct {
    const char* at;
    const char* text;
    bool listed;  // the listening lines come between bind and listen
  } cases[] = {
      {"bind", "Windows socket error: Address already in use (98), on API 'bind'", false},
      {"listen", "Windows socket error: Invalid argument (22), on API 'listen'", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.at);
    FakeTransport transport;
    ScriptedLoop loop;
    loop.failListenAt = c.at;
    RecordingView view;
    {
      TfMain main(&view, &loop, &transport);
      main.Start("/");
      main.Tick();
      EXPECT_FALSE(main.Listening());
      EXPECT_EQ(view.log.back(), std::string("- Error: ") + c.text);
      EXPECT_EQ(view.errorShown, c.text);
      const bool listed = std::count(view.log.begin(), view.log.end(), "- Listening Port 9696 ...");
      EXPECT_EQ(listed, c.listed);
    }
  }
}

TEST_F(TfMainTest, RequestErrorIsLoggedNothingIsSentAndTheClientStays) {
  Serve();
  loop.Accept(5);
  loop.Receive(5, "..COM1");
  loop.Receive(5, "..V177");
  EXPECT_EQ(view.log, (Lines{"- New Client Connected", "- Error: '$' is not a valid integer value."}));
  EXPECT_EQ(loop.sockets[5].wire, "2.02a\r\n");
  EXPECT_TRUE(loop.closed.empty());

  // With debug on, the request that failed is logged too, its control bytes escaped.
  view.log.clear();
  main.State().DebugEnabled = true;
  loop.Receive(5, "..COM1 1x8.25\r\n");
  ASSERT_EQ(view.log.size(), 3u);
  EXPECT_EQ(view.log[1], "- Error: '$x825' is not a valid integer value.");
  EXPECT_EQ(view.log[2], "- Request: ..COM1 1x8.25\\x0D\\x0A");
}

TEST_F(TfMainTest, UnsentRepliesWaitInOrderUntilTheClientReads) {
  Serve();
  loop.Accept(5);
  loop.sockets[5].room = 3;
  loop.Receive(5, "..V100");
  loop.Receive(5, "..VMAP");
  EXPECT_EQ(loop.sockets[5].wire, "2.0");
  EXPECT_EQ(main.Clients().Unsent(5), 11u);
  EXPECT_TRUE(loop.sockets[5].watching);
  EXPECT_EQ(loop.Drain(5, 4), "2.0");  // room for four more bytes, then full again
  EXPECT_EQ(loop.sockets[5].wire, "1b\r\n");
  EXPECT_TRUE(loop.sockets[5].watching);
  loop.Drain(5);
  EXPECT_EQ(loop.sockets[5].wire, "2.01a\r\n");
  EXPECT_EQ(main.Clients().Unsent(5), 0u);
  EXPECT_FALSE(loop.sockets[5].watching);
}

TEST_F(TfMainTest, AClientThatNeverReadsIsCutOffPastOneMebibyteWhileAnotherIsServed) {
  Serve();
  loop.Accept(7);
  loop.Accept(9);
  loop.sockets[9].room = 0;
  int requests = 0;
  while (loop.closed.empty() && requests < 200000) {
    loop.Receive(9, "..V100");
    ASSERT_LE(main.Clients().Unsent(9), 1048576u);
    loop.Receive(7, "..V172");
    ++requests;
  }
  EXPECT_EQ(requests, 1048576 / 7 + 1);
  EXPECT_EQ(loop.closed, std::vector<ConnectionId>{9});
  ASSERT_GE(view.log.size(), 2u);
  EXPECT_EQ(view.log[view.log.size() - 2],
            "- Error: Client cut off: 1048579 bytes of replies unread, more than 1048576 for one client.");
  EXPECT_EQ(view.log.back(), "- Client Disconnected");
  EXPECT_EQ(main.Clients().Unsent(9), 0u);
  EXPECT_EQ(loop.Drain(7).size(), 7u * requests);  // the other client got every answer
}

TEST_F(TfMainTest, SocketErrorsCloseOnlyTheirConnection) {
  Serve();
  loop.Accept(5);
  loop.Accept(6);
  loop.Accept(8);
  loop.sockets[5].failSend = true;
  loop.Receive(5, "..V100");
  loop.events->OnFailed(6, SocketFailure{104, "Connection reset by peer", "recv"});
  loop.events->OnFailed(8, SocketFailure{10053, "", nullptr});
  EXPECT_EQ(view.log,
            (Lines{"- New Client Connected", "- New Client Connected", "- New Client Connected",
                   "- Error: Windows socket error: Connection reset by peer (104), on API 'send'",
                   "- Client Disconnected",
                   "- Error: Windows socket error: Connection reset by peer (104), on API 'recv'",
                   "- Client Disconnected", "- Error: Asynchronous socket error 10053.",
                   "- Client Disconnected"}));
  EXPECT_EQ(loop.closed, (std::vector<ConnectionId>{5, 6, 8}));
}

TEST_F(TfMainTest, LostSimulatorIsLoggedAndReconnectedWithoutANewListener) {
  Serve();
  loop.Accept(5);
  view.log.clear();
  transport.failSends = -1;
  transport.windowStillExists = false;
  loop.Receive(5, "..RADI");
  EXPECT_EQ(view.log, (Lines{"- Fsuipc Disconnected"}));
  EXPECT_EQ(loop.sockets[5].wire.size(), 89u);  // built from zeros, still sent
  EXPECT_TRUE(loop.timerRunning);
  const int sendsBefore = transport.sends;
  loop.Receive(5, "..RADI");
  EXPECT_EQ(transport.sends, sendsBefore);  // closed link: no more waiting on the simulator

  transport.failSends = 0;
  transport.windowStillExists = true;
  main.Tick();
  EXPECT_EQ(view.log.back(), "- Fsuipc Connected OK");
  EXPECT_FALSE(loop.timerRunning);
  EXPECT_EQ(loop.listens, 1);
}

TEST_F(TfMainTest, DebugButtonTogglesAndCloseDropsClientsAndReleasesTheLink) {
  Serve();
  main.ToggleDebug();
  EXPECT_TRUE(main.State().DebugEnabled);
  EXPECT_EQ(view.debugCaption, "Debug On");
  main.ToggleDebug();
  EXPECT_FALSE(main.State().DebugEnabled);
  EXPECT_EQ(view.debugCaption, "Debug Off");
  loop.Accept(5);
  main.Close();
  EXPECT_EQ(loop.closed, std::vector<ConnectionId>{5});
  EXPECT_EQ(view.log.back(), "- Client Disconnected");
  EXPECT_FALSE(main.State().link.IsOpen());
  EXPECT_EQ(transport.openBlocks, 0);
}

// Client bounds as the log shows them, over scripted steps: "a5" accepts client 5, "r5" brings
// it a V100 request, "z5" fills its socket, "d5" lets it read everything, "f5" says it sends no
// more, "x5" is its closing; "+20" lets twenty seconds pass and "i" runs the idle check.
TEST(TfMainClients, TheBoundAndTheIdleTimeOutCloseClientsAndAHalfClosedOneIsOwedItsReplies) {
  const std::string refused = "- Error: Client refused: 2 clients connected, the most allowed.";
  const std::string idle = "- Error: Client cut off: nothing received for 30 s.";
  const std::string in = "- New Client Connected", out = "- Client Disconnected";
  const struct {
    const char* name;
    ClientLimits limits;
    std::vector<std::string> steps;
    Lines log;
    std::vector<ConnectionId> closed;
    std::string read;  // what client 1 read in all
  } cases[] = {
      {"one past the bound is closed at once, and a place that frees up is taken",
       {2, std::chrono::seconds(0)}, {"a1", "a2", "a3", "x1", "a4", "+100000", "i"},
       {in, in, refused, out, in}, {3, 1}, ""},
      {"a client silent for the time-out is closed, one that spoke meanwhile later",
       {UINT64_MAX, std::chrono::seconds(30)}, {"a1", "a2", "+20", "r2", "+10", "i", "+19", "i", "+1", "i"},
       {in, in, idle, out, idle, out}, {1, 2}, ""},
      {"a half-closed client gets what it is owed, then is closed",
       {UINT64_MAX, std::chrono::seconds(0)}, {"a1", "z1", "r1", "r1", "f1", "d1"},
       {in, out}, {1}, "2.01b\r\n2.01b\r\n"},
      {"a half-closed client owed nothing is closed at once",
       {UINT64_MAX, std::chrono::seconds(0)}, {"a1", "r1", "d1", "f1"}, {in, out}, {1}, "2.01b\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTransport transport;
    ScriptedLoop loop;
    RecordingView view;
    SteadyClock::time_point now{};
    TfMain main(&view, &loop, &transport, [&now] { return now; });
    main.SetClientLimits(c.limits);
    main.Start("/opt/tavelor/");
    main.Tick();
    EXPECT_EQ(loop.idleCheckRunning, c.limits.idleTimeout.count() > 0);
    view.log.clear();
    std::string read;
    for (const std::string& step : c.steps) {
      const ConnectionId client = std::strtoull(step.c_str() + 1, nullptr, 10);
      switch (step[0]) {
        case 'a': loop.Accept(client); break;
        case 'r': loop.Receive(client, "..V100"); break;
        case 'z': loop.sockets[client].room = 0; break;
        case 'd': read += loop.Drain(client); break;
        case 'f': loop.events->OnPeerFinished(client); break;
        case 'x': loop.Close(client); break;
        case '+': now += std::chrono::seconds(client); break;
        case 'i': loop.events->OnIdleCheck(); break;
      }
    }
    EXPECT_EQ(view.log, c.log);
    EXPECT_EQ(loop.closed, c.closed);
    EXPECT_EQ(read + loop.wireAtClose[1], c.read);
    main.Close();
  }
}

}  // namespace
}  // namespace tavelor
