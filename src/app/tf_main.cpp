#include "app/tf_main.h"

#include <algorithm>
#include <utility>

#include "core/globals.h"
#include "core/log.h"
#include "server/socket_errors.h"
#include "simlink/ipc_client.h"
#include "text/request_error.h"

namespace tavelor {

TfMain::TfMain(MainView* view, EventLoop* loop, NowFunction now)
    : view_(view), loop_(loop), connections_(loop, UnsentLimits{}, std::move(now)) {
  loop_->SetEvents(this);
}

TfMain::~TfMain() {
  loop_->SetEvents(nullptr);
  SetLogSink(nullptr);
}

void TfMain::FormCreate(const std::string& appFolder) {
  SetLogSink([this](const std::string& line) { view_->AppendLog(line); });
  SetStartGlobals(appFolder);
  view_->SetCaption("Tavelor Server v" + AppVersion);
  LogLine("- Tavelor Server v" + AppVersion);
  LogLine("- Note: Run in administrator mode");
  LogLine("- Connecting to Fsuipc . . .");
  view_->MoveToTopLeft();
  loop_->StartTimer(kConnectIntervalMs);
}

void TfMain::Timer1Timer() {
  if (ticksToSkip_ > 0) {
    --ticksToSkip_;
    return;
  }
  uint32_t code = kIpcOk;
  if (!IpcOpen(0, &code)) {  // no simulator yet: try again next tick, silently
    SpaceOutIfUnanswered();
    return;
  }
  reconnectSpacing_ = 0;
  LogLine("- Fsuipc Connected OK");
  loop_->StopTimer();
  // After the simulator came back the listener is still there with its clients; and a
  // listener that could not start is not retried, as at the first connection.
  if (listenerTried_) return;
  listenerTried_ = true;
  SocketFailure failure;
  if (loop_->Listen(port_, &failure)) {
    listening_ = true;
    if (connections_.Limits().idleTimeout.count() > 0) loop_->StartIdleCheck(kIdleCheckIntervalMs);
    return;
  }
  const std::string text = SocketFailureText(failure);
  LogError(text);
  view_->ShowError(ErrorDisplayText(text));
}

void TfMain::ServerSocket1Listen() {
  LogLine("- Listening Port " + std::to_string(port_) + " ...");
  LogLine("- IP: " + loop_->LocalAddress());
}

void TfMain::OnListenerFailed(const SocketFailure& failure) { LogError(SocketFailureText(failure)); }

void TfMain::ServerSocket1ClientConnect(ConnectionId client) {
  // A client past the bound is refused with a line of its own, never as connected.
  if (connections_.Opened(client)) LogLine("- New Client Connected");
}

void TfMain::ServerSocket1ClientDisconnect(ConnectionId client) {
  if (connections_.Closed(client)) LogLine("- Client Disconnected");
}

void TfMain::ServerSocket1ClientRead(ConnectionId client, const std::string& received) {
  connections_.Received(client, received);
  NoticeLinkLost();
}

void TfMain::BitBtn1Click() {
  DebugEnabled = !DebugEnabled;
  view_->SetDebugCaption(DebugEnabled ? "Debug On" : "Debug Off");
}

void TfMain::FormClose() {
  loop_->StopTimer();
  loop_->StopIdleCheck();
  loop_->StopListening();
  listening_ = false;
  connections_.Clear();
  IpcClose();
}

void TfMain::NoticeLinkLost() {
  if (!IpcLink().TakeLinkLost()) return;
  LogLine("- Fsuipc Disconnected");
  loop_->StartTimer(kConnectIntervalMs);
  SpaceOutIfUnanswered();
}

void TfMain::SpaceOutIfUnanswered() {
  if (!IpcLink().PeerUnanswered()) {
    // Gone, or refusing at once: looking for it costs nothing, so every tick as before.
    reconnectSpacing_ = 0;
    ticksToSkip_ = 0;
    return;
  }
  if (reconnectSpacing_ == 0) LogLine("- Fsuipc Not Responding");
  reconnectSpacing_ = std::min(reconnectSpacing_ == 0 ? 2 : reconnectSpacing_ * 2,
                               kMaxReconnectSpacingTicks);
  ticksToSkip_ = reconnectSpacing_ - 1;
}

}  // namespace tavelor
