#include "app/main_window.h"

#include "core/globals.h"
#include "core/log.h"
#include "server/request.h"
#include "server/socket_errors.h"
#include "simlink/ipc_client.h"
#include "text/request_error.h"

namespace tavelor {



void TfMain::FormCreate(const std::string& appFolder) {
  SetStartGlobals(appFolder);
  shell_->SetCaption("Tavelor Server v" + AppVersion);
  LogLine("- Tavelor Server v" + AppVersion);
  LogLine("- Note: Run in administrator mode");
  LogLine("- Connecting to Fsuipc . . .");
  shell_->MoveToTopLeft();
  PfdRefreshCount = 0;
  FgpRefreshCount = 0;
  SpeedRefMode = 1;
  shell_->StartConnectTimer();
}

void TfMain::Timer1Timer() {
  uint32_t code = kIpcOk;
  if (!IpcOpen(0, &code)) return;  // no simulator yet: try again next tick, silently
  LogLine("- Fsuipc Connected OK");
  shell_->StopConnectTimer();
  // After the simulator came back the listener is still there with its clients; and a
  // listener that could not start is not retried, as at the first connection.
  if (listenerTried_) return;
  listenerTried_ = true;
  std::string error;
  if (shell_->ActivateListener(port_, &error)) {
    listening_ = true;
  } else {
    LogError(error);
    shell_->ShowStartError(ErrorDisplayText(error));
  }
}

void TfMain::ServerSocket1Listen() {
  LogLine("- Listening Port " + std::to_string(port_) + " ...");
  LogLine("- IP: " + shell_->LocalAddress());
}

void TfMain::ServerSocket1ClientConnect(ClientId) { LogLine("- New Client Connected"); }

void TfMain::ServerSocket1ClientDisconnect(ClientId client) {
  pending_.erase(client);
  LogLine("- Client Disconnected");
}

void TfMain::ServerSocket1ClientRead(ClientId client, const std::string& received) {
  try {
    if (std::optional<std::string> reply = ServeRequest(received)) Send(client, *reply);
  } catch (const RequestError& error) {
    // The request is dropped, unanswered; the connection goes on serving.
    LogError(error.what());
  }
  NoticeLinkLost();
}

void TfMain::ServerSocket1ClientWrite(ClientId client) { Flush(client); }

void TfMain::ServerSocket1ClientError(ClientId client, const std::string& text) {
  LogError(text);
  pending_.erase(client);
  shell_->CloseClient(client);
}

void TfMain::BitBtn1Click() {
  DebugEnabled = !DebugEnabled;
  shell_->SetDebugCaption(DebugEnabled ? "Debug On" : "Debug Off");
}

void TfMain::FormClose() {
  shell_->DeactivateListener();
  listening_ = false;
  pending_.clear();
  IpcClose();
}

size_t TfMain::PendingOutput(ClientId client) const {
  auto it = pending_.find(client);
  return it == pending_.end() ? 0 : it->second.size();
}

void TfMain::Send(ClientId client, const std::string& text) {
  std::string& pending = pending_[client];
  pending += text;
  if (pending.size() > kMaxPendingOutput) {
    pending_.erase(client);
    shell_->CloseClient(client);
    return;
  }
  Flush(client);
}

void TfMain::Flush(ClientId client) {
  auto it = pending_.find(client);
  if (it == pending_.end()) return;
  std::string& pending = it->second;
  while (!pending.empty()) {
    SendResult sent = shell_->Send(client, pending.data(), pending.size());
    if (sent.error) {
      ServerSocket1ClientError(client, SocketErrorText(sent.errorText, sent.error, "send"));
      return;
    }
    pending.erase(0, sent.accepted);
    if (sent.wouldBlock || sent.accepted == 0) break;
  }
  shell_->WatchWritable(client, !pending.empty());
  if (pending.empty()) pending_.erase(it);
}

void TfMain::NoticeLinkLost() {
  if (!IpcLink().TakeLinkLost()) return;
  LogLine("- Fsuipc Disconnected");
  shell_->StartConnectTimer();
}

}  // namespace tavelor
