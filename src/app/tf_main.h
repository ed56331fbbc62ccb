// TfMain: the program's lifecycle, portable. Start-up, the once-a-second attempt to reach the
// simulator, the listener opened after the first success, the connection log lines, the debug
// switch and the close. A platform's event loop delivers its events here and its window shows
// what TfMain says through MainView.
#pragma once

#include <cstdint>
#include <string>

#include "app/main_view.h"
#include "server/connections.h"
#include "server/event_loop.h"

namespace tavelor {

inline constexpr uint16_t kServerPort = 9696;
inline constexpr unsigned kConnectIntervalMs = 1000;
// While the simulator is there but does not answer, each attempt to connect holds the program
// for the exchange's full time-out and retries; attempts are then spaced out, the spacing
// doubling from two ticks of the connect timer up to this many.
inline constexpr unsigned kMaxReconnectSpacingTicks = 10;
// How often clients are checked against the idle time-out, when one is set.
inline constexpr unsigned kIdleCheckIntervalMs = 1000;

class TfMain : public LoopEvents, public ViewEvents {
 public:
  // `now`: the clock of the idle time-out.
  TfMain(MainView* view, EventLoop* loop, NowFunction now = SteadyClock::now);
  ~TfMain() override;
  TfMain(const TfMain&) = delete;
  TfMain& operator=(const TfMain&) = delete;

  // The window's and its components' events, by their names in the program.
  void FormCreate(const std::string& appFolder);
  void Timer1Timer();
  void ServerSocket1Listen();
  void ServerSocket1ClientConnect(ConnectionId client);
  void ServerSocket1ClientDisconnect(ConnectionId client);
  void ServerSocket1ClientRead(ConnectionId client, const std::string& received);
  void BitBtn1Click();
  void FormClose();

  void SetPort(uint16_t port) { port_ = port; }
  void SetClientLimits(const ClientLimits& limits) { connections_.SetClientLimits(limits); }
  bool Listening() const { return listening_; }
  const Connections& Clients() const { return connections_; }

  // LoopEvents: the loop's events, each handed to a handler above or to the connections.
  void OnTimer() override { Timer1Timer(); }
  void OnListenerBound() override { ServerSocket1Listen(); }
  void OnListenerFailed(const SocketFailure& failure) override;
  void OnAccepted(ConnectionId client) override { ServerSocket1ClientConnect(client); }
  void OnReceived(ConnectionId client, const std::string& bytes) override {
    ServerSocket1ClientRead(client, bytes);
  }
  void OnPeerFinished(ConnectionId client) override { connections_.PeerFinished(client); }
  void OnIdleCheck() override { connections_.CloseIdle(); }
  void OnWritable(ConnectionId client) override { connections_.Writable(client); }
  void OnFailed(ConnectionId client, const SocketFailure& failure) override {
    connections_.Failed(client, failure);
  }
  void OnClosed(ConnectionId client) override { ServerSocket1ClientDisconnect(client); }

  // ViewEvents
  void OnDebugButton() override { BitBtn1Click(); }
  void OnClose() override { FormClose(); }

 private:
  void NoticeLinkLost();
  void SpaceOutIfUnanswered();

  MainView* view_;
  EventLoop* loop_;
  Connections connections_;
  uint16_t port_ = kServerPort;
  bool listening_ = false;
  bool listenerTried_ = false;
  unsigned reconnectSpacing_ = 0;  // ticks between attempts; 0: every tick
  unsigned ticksToSkip_ = 0;
};

}  // namespace tavelor
