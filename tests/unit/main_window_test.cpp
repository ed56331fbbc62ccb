// The program's lifecycle as the shells drive it, over a recording shell and a fake link.
#include <gtest/gtest.h>

#include <set>

#include "core/globals.h"
#include "app/main_window.h"
#include "simlink/ipc_client.h"
#include "support/fake_transport.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

using testing::FakeTransport;
using testing::LogCapture;

class RecordingShell : public MainWindowShell {
 public:
  TfMain* main = nullptr;
  std::string caption, debugCaption;
  bool movedToTopLeft = false;
  bool timerRunning = false;
  int listenerActivations = 0;
  std::string listenError;  // non-empty: ActivateListener fails with it
  std::string startErrorShown;
  // Bytes each Send call will accept (the last value repeats); -1 means a send error.
  std::vector<long> accepts{1 << 30};
  std::string wire;  // what reached the client
  std::set<ClientId> watching, closed;

  void SetCaption(const std::string& c) override { caption = c; }
  void SetDebugCaption(const std::string& c) override { debugCaption = c; }
  void MoveToTopLeft() override { movedToTopLeft = true; }
  void StartConnectTimer() override { timerRunning = true; }
  void StopConnectTimer() override { timerRunning = false; }
  bool ActivateListener(uint16_t, std::string* error) override {
    ++listenerActivations;
    if (listenError.rfind("bind", 0) == 0) {
      *error = listenError;
      return false;
    }
    main->ServerSocket1Listen();
    if (!listenError.empty()) {
      *error = listenError;
      return false;
    }
    return true;
  }
  void DeactivateListener() override {}
  std::string LocalAddress() override { return "192.0.2.7"; }
  SendResult Send(ClientId, const char* data, size_t size) override {
    SendResult result;
    long take = accepts.front();
    if (accepts.size() > 1) accepts.erase(accepts.begin());
    if (take < 0) {
      result.error = 104;
      result.errorText = "Connection reset by peer";
      return result;
    }
    result.accepted = std::min(size, static_cast<size_t>(take));
    result.wouldBlock = result.accepted < size;
    wire.append(data, result.accepted);
    return result;
  }
  void WatchWritable(ClientId client, bool watch) override {
    if (watch) watching.insert(client);
    else watching.erase(client);
  }
  void CloseClient(ClientId client) override {
    closed.insert(client);
    main->ServerSocket1ClientDisconnect(client);
  }
  void ShowStartError(const std::string& text) override { startErrorShown = text; }
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    shell.main = &main;
    IpcSetTransport(&transport);
  }
  ~MainWindowTest() override { IpcSetTransport(nullptr); }

  void Connect() {
    main.FormCreate("/opt/tavelor/");
    main.Timer1Timer();
    log.lines.clear();
  }

  LogCapture log;
  FakeTransport transport;
  RecordingShell shell;
  TfMain main{&shell};
};

TEST_F(MainWindowTest, StartWaitsSilentlyForTheSimulatorThenListensOnce) {
  transport.windows["UIPCMAIN"] = false;
  main.FormCreate("/opt/tavelor/");
  EXPECT_EQ(shell.caption, "Tavelor Server v2.02A");
  EXPECT_TRUE(shell.movedToTopLeft);
  EXPECT_TRUE(shell.timerRunning);
  EXPECT_EQ(AppFolder, "/opt/tavelor/");
  EXPECT_EQ(SpeedRefMode, 1);
  for (int tick = 0; tick < 3; ++tick) main.Timer1Timer();
  EXPECT_EQ(log.lines, (std::vector<std::string>{"- Tavelor Server v2.02A",
                                                  "- Note: Run in administrator mode",
                                                  "- Connecting to Fsuipc . . ."}));
  transport.windows["UIPCMAIN"] = true;
  main.Timer1Timer();
  EXPECT_FALSE(shell.timerRunning);
  EXPECT_EQ(shell.listenerActivations, 1);
  EXPECT_TRUE(main.Listening());
  EXPECT_EQ(std::vector<std::string>(log.lines.begin() + 3, log.lines.end()),
            (std::vector<std::string>{"- Fsuipc Connected OK", "- Listening Port 9696 ...",
                                      "- IP: 192.0.2.7"}));
}

TEST_F(MainWindowTest, ListenerErrorsAreLoggedAndShownAndNotRetried) {
  for (const char* failure : {"bind", "listen"}) {
    SCOPED_TRACE(failure);
    LogCapture log;
    FakeTransport transport;
    IpcSetTransport(&transport);
    RecordingShell shell;
    TfMain main(&shell);
    shell.main = &main;
    shell.listenError = std::string(failure) == std::string("bind")
                            ? "bind: Windows socket error: Address already in use (98), on API 'bind'"
                            : "Windows socket error: Invalid argument (22), on API 'listen'";
    main.FormCreate("/");
    main.Timer1Timer();
    EXPECT_FALSE(main.Listening());
    EXPECT_EQ(log.lines.back(), "- Error: " + shell.listenError);
    EXPECT_EQ(shell.startErrorShown, shell.listenError);
    // The listening lines come between bind and listen: only a failed listen has them.
    bool listed = std::find(log.lines.begin(), log.lines.end(), "- Listening Port 9696 ...") !=
                  log.lines.end();
    EXPECT_EQ(listed, std::string(failure) == "listen");
    IpcSetTransport(nullptr);  // before this transport goes out of scope
  }
}

TEST_F(MainWindowTest, RequestErrorIsLoggedNothingIsSentAndTheClientStays) {
  Connect();
  main.ServerSocket1ClientConnect(5);
  main.ServerSocket1ClientRead(5, "..COM1");
  main.ServerSocket1ClientRead(5, "..V177");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"- New Client Connected",
                                                  "- Error: '$' is not a valid integer value."}));
  EXPECT_EQ(shell.wire, "2.02a\r\n");
  EXPECT_TRUE(shell.closed.empty());
}

TEST_F(MainWindowTest, UnsentRepliesWaitInOrderForTheWriteEvent) {
  Connect();
  shell.accepts = {3, 0};
  main.ServerSocket1ClientRead(5, "..V100");
  main.ServerSocket1ClientRead(5, "..VMAP");
  EXPECT_EQ(shell.wire, "2.0");
  EXPECT_EQ(main.PendingOutput(5), 11u);
  EXPECT_TRUE(shell.watching.count(5));
  shell.accepts = {4, 1 << 30};
  main.ServerSocket1ClientWrite(5);  // takes four more bytes, then the socket is full again
  EXPECT_EQ(shell.wire, "2.01b\r\n");
  EXPECT_TRUE(shell.watching.count(5));
  main.ServerSocket1ClientWrite(5);
  EXPECT_EQ(shell.wire, "2.01b\r\n2.01a\r\n");
  EXPECT_EQ(main.PendingOutput(5), 0u);
  EXPECT_FALSE(shell.watching.count(5));
}

TEST_F(MainWindowTest, AClientThatStopsReadingIsCutOffPastOneMebibyte) {
  Connect();
  shell.accepts = {0};
  int requests = 0;
  while (shell.closed.empty() && requests < 200000) {
    main.ServerSocket1ClientRead(9, "..V100");
    ++requests;
  }
  EXPECT_EQ(requests, static_cast<int>(kMaxPendingOutput / 7) + 1);
  EXPECT_EQ(log.lines.back(), "- Client Disconnected");
  EXPECT_EQ(main.PendingOutput(9), 0u);
}

TEST_F(MainWindowTest, SendFailureClosesTheConnectionWithTheSocketError) {
  Connect();
  shell.accepts = {-1};
  main.ServerSocket1ClientRead(5, "..V100");
  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "- Error: Windows socket error: Connection reset by peer (104), on API "
                           "'send'",
                           "- Client Disconnected"}));
  EXPECT_TRUE(shell.closed.count(5));
}

TEST_F(MainWindowTest, LostSimulatorIsLoggedAndReconnectedWithoutANewListener) {
  Connect();
  transport.failSends = -1;
  transport.windowStillExists = false;
  main.ServerSocket1ClientRead(5, "..RADI");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"- Fsuipc Disconnected"}));
  EXPECT_EQ(shell.wire.size(), 89u);  // built from zeros, still sent
  EXPECT_TRUE(shell.timerRunning);
  const int sendsBefore = transport.sends;
  main.ServerSocket1ClientRead(5, "..RADI");
  EXPECT_EQ(transport.sends, sendsBefore);  // closed link: no more waiting on the simulator

  transport.failSends = 0;
  transport.windowStillExists = true;
  main.Timer1Timer();
  EXPECT_EQ(log.lines.back(), "- Fsuipc Connected OK");
  EXPECT_FALSE(shell.timerRunning);
  EXPECT_EQ(shell.listenerActivations, 1);
}

TEST_F(MainWindowTest, DebugButtonTogglesAndCloseReleasesTheLink) {
  Connect();
  main.BitBtn1Click();
  EXPECT_TRUE(DebugEnabled);
  EXPECT_EQ(shell.debugCaption, "Debug On");
  main.BitBtn1Click();
  EXPECT_FALSE(DebugEnabled);
  EXPECT_EQ(shell.debugCaption, "Debug Off");
  main.FormClose();
  EXPECT_FALSE(IpcLink().IsOpen());
  EXPECT_EQ(transport.openBlocks, 0);
}

}  // namespace
}  // namespace tavelor
