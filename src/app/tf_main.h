// TfMain: the program's lifecycle, portable. Start-up, the once-a-second attempt to reach the
// simulator, the listener opened after the first success, the connection log lines, the debug
// switch and the close. It owns the link and the state every request is handed. A platform's
// event loop delivers its events here and its window shows what TfMain says through MainView.
#pragma once

#include <cstdint>
#include <string>

#include "app/main_view.h"
#include "core/log.h"
#include "core/request_state.h"
#include "recording/exchange_recorder.h"
#include "server/connections.h"
#include "server/event_loop.h"
#include "simlink/ipc_client.h"

namespace tavelor {

inline constexpr uint16_t kServerPort = 9696;
inline constexpr unsigned kConnectIntervalMs = 1000;
// While the simulator is there but does not answer, each attempt to connect holds the program
// for the exchange's full time-out and retries; attempts are then spaced out, the spacing
// doubling from two ticks of the connect timer up to this many.
inline constexpr unsigned kMaxReconnectSpacingTicks = 10;
// How often clients are checked against the idle time-out, when one is set.
inline constexpr unsigned kIdleCheckIntervalMs = 1000;

class TfMain : public LoopEvents {
 public:
  // `transport` carries the link to the simulator; `now` is the clock of the idle time-out.
  // TfMain hears the loop's events itself, on every platform.
  TfMain(MainView* view, EventLoop* loop, IpcTransport* transport,
         NowFunction now = SteadyClock::now);
  ~TfMain() override;
  TfMain(const TfMain&) = delete;
  TfMain& operator=(const TfMain&) = delete;

  // The program's life, one call per event.
  // The window is made: banner, connect timer. Plans go to `appFolder`, which the first plan
  // makes when `makePlanFolder` (the user's own folder).
  void Start(const std::string& appFolder, bool makePlanFolder = false);
  void Tick();                               // the connect timer: try to reach the simulator
  void ListenerBound();                      // the listening lines
  void ClientConnect(ConnectionId client);
  void ClientDisconnect(ConnectionId client);
  void ClientRead(ConnectionId client, const std::string& received);  // one request
  void ToggleDebug();
  void Close();  // the listener and its clients go, then the link

  // `--record FILE`, before Start: every exchange from then on goes to the recording (see
  // ExchangeRecorder). False, with the reason, when it cannot be created.
  bool Record(const std::string& path, std::string* error);

  void SetPort(uint16_t port) { port_ = port; }
  void SetClientLimits(const ClientLimits& limits) { connections_.SetClientLimits(limits); }
  bool Listening() const { return listening_; }
  const Connections& Clients() const { return connections_; }
  // What every request is handed: the link, the log, the folder, the debug switch and the
  // speed re-send's values.
  RequestState& State() { return state_; }

  // LoopEvents: the loop's events, each handed to the logic above or to the connections. These
  // are the connect timer's and the listener's events; on Windows the form's handlers of those
  // names (Timer1Timer, ServerSocket1Listen, ServerSocket1ClientConnect, ServerSocket1ClientRead,
  // ServerSocket1ClientDisconnect) call the same logic.
  void OnTimer() override { Tick(); }
  void OnListenerBound() override { ListenerBound(); }
  void OnListenerFailed(const SocketFailure& failure) override;
  void OnAccepted(ConnectionId client) override { ClientConnect(client); }
  void OnReceived(ConnectionId client, const std::string& bytes) override {
    ClientRead(client, bytes);
  }
  void OnPeerFinished(ConnectionId client) override { connections_.PeerFinished(client); }
  void OnIdleCheck() override { connections_.CloseIdle(); }
  void OnWritable(ConnectionId client) override { connections_.Writable(client); }
  void OnFailed(ConnectionId client, const SocketFailure& failure) override {
    connections_.Failed(client, failure);
  }
  void OnClosed(ConnectionId client) override { ClientDisconnect(client); }

 private:
  void NoticeLinkLost();
  void SpaceOutIfUnanswered();

  MainView* view_;
  EventLoop* loop_;
  IpcClient link_;
  RequestState state_;
  recording::ExchangeRecorder recorder_{
      [this](const std::string& message) { LogError(state_.log, message); }};
  Connections connections_;
  uint16_t port_ = kServerPort;
  bool listening_ = false;
  bool listenerTried_ = false;
  unsigned reconnectSpacing_ = 0;  // ticks between attempts; 0: every tick
  unsigned ticksToSkip_ = 0;
};

}  // namespace tavelor
