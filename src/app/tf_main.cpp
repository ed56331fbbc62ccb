#include "app/tf_main.h"

#include <algorithm>
#include <utility>

#include "core/log.h"
#include "core/version_texts.h"
#include "server/socket_errors.h"
#include "text/request_error.h"

namespace tavelor {

TfMain::TfMain(MainView* view, EventLoop* loop, IpcTransport* transport, NowFunction now)
    : view_(view),
      loop_(loop),
      link_(transport),
      state_(link_, [this](const std::string& line) { view_->AppendLog(line); }),
      connections_(loop, state_, UnsentLimits{}, std::move(now)) {
  loop_->SetEvents(this);
}

TfMain::~TfMain() {
  link_.SetObserver(nullptr);
  loop_->SetEvents(nullptr);
}

bool TfMain::Record(const std::string& path, std::string* error) {
  if (!recorder_.Open(path, AppTitle, error)) return false;
  link_.SetObserver(&recorder_);
  return true;
}

void TfMain::Start(const std::string& appFolder, bool makePlanFolder) {
  state_.AppFolder = appFolder;
  state_.MakePlanFolder = makePlanFolder;
  view_->SetCaption(AppTitle);
  LogLine(state_.log, "- " + AppTitle);
  LogLine(state_.log, "- Note: Run in administrator mode");
  LogLine(state_.log, "- Connecting to Fsuipc . . .");
  if (recorder_.Recording()) LogLine(state_.log, "- Recording to " + recorder_.Path());
  view_->MoveToTopLeft();
  loop_->StartTimer(kConnectIntervalMs);
}

void TfMain::Tick() {
  if (ticksToSkip_ > 0) {
    --ticksToSkip_;
    return;
  }
  uint32_t code = kIpcOk;
  if (!IpcOpen(link_, 0, &code)) {  // no simulator yet: try again next tick, silently
    SpaceOutIfUnanswered();
    return;
  }
  reconnectSpacing_ = 0;
  LogLine(state_.log, "- Fsuipc Connected OK");
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
  LogError(state_.log, text);
  view_->ShowError(ErrorDisplayText(text));
}

void TfMain::ListenerBound() {
  LogLine(state_.log, "- Listening Port " + std::to_string(port_) + " ...");
  LogLine(state_.log, "- IP: " + loop_->LocalAddress());
}

void TfMain::OnListenerFailed(const SocketFailure& failure) {
  LogError(state_.log, SocketFailureText(failure));
}

void TfMain::ClientConnect(ConnectionId client) {
  // A client past the bound is refused with a line of its own, never as connected.
  if (connections_.Opened(client)) LogLine(state_.log, "- New Client Connected");
}

void TfMain::ClientDisconnect(ConnectionId client) {
  if (connections_.Closed(client)) LogLine(state_.log, "- Client Disconnected");
}

void TfMain::ClientRead(ConnectionId client, const std::string& received) {
  connections_.Received(client, received);
  recorder_.Flush();  // the reply has gone: the file's write holds nobody up
  NoticeLinkLost();
}

void TfMain::ToggleDebug() {
  state_.DebugEnabled = !state_.DebugEnabled;
  view_->SetDebugCaption(state_.DebugEnabled ? "Debug On" : "Debug Off");
}

void TfMain::Close() {
  loop_->StopTimer();
  loop_->StopIdleCheck();
  loop_->StopListening();
  listening_ = false;
  connections_.Clear();
  IpcClose(link_);
  recorder_.Close();
}

void TfMain::NoticeLinkLost() {
  if (!link_.TakeLinkLost()) return;
  LogLine(state_.log, "- Fsuipc Disconnected");
  loop_->StartTimer(kConnectIntervalMs);
  SpaceOutIfUnanswered();
}

void TfMain::SpaceOutIfUnanswered() {
  if (!link_.PeerUnanswered()) {
    // Gone, or refusing at once: looking for it costs nothing, so every tick as before.
    reconnectSpacing_ = 0;
    ticksToSkip_ = 0;
    return;
  }
  if (reconnectSpacing_ == 0) LogLine(state_.log, "- Fsuipc Not Responding");
  reconnectSpacing_ = std::min(reconnectSpacing_ == 0 ? 2 : reconnectSpacing_ * 2,
                               kMaxReconnectSpacingTicks);
  ticksToSkip_ = reconnectSpacing_ - 1;
}

}  // namespace tavelor
