// The stand-in simulator as both its shells run it: the peer with its preset aircraft, the
// exchange on a block a shell has mapped, and the control clients with their sessions. A shell
// (a Unix socket and poll() on Linux, a window on Windows) keeps only its sockets and its way of
// reaching the shared block.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "sim/control_session.h"
#include "sim/sim_options.h"
#include "sim/sim_peer.h"

namespace tavelor::sim {

using ControlId = uint64_t;

class SimService {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr size_t kMaxControlClients = 64;
  // A client that does not read its answers is not read from either, beyond this much; one
  // that sends more commands all the same is cut off (see ControlSession).
  static constexpr size_t kOutputHighWater = ControlSession::kMaxUnread;
  // How long the answers of a client that finished sending, or of a `quit`, may take to go out.
  static constexpr auto kFlushTimeout = std::chrono::seconds(2);

  // With a recording to replay, it is read at once: see StartProblem.
  explicit SimService(const SimOptions& options);
  // Why the stand-in cannot start (its recording cannot be read); empty when it can.
  const std::string& StartProblem() const { return startProblem_; }

  SimPeer& Peer() { return peer_; }
  const SimOptions& Options() const { return options_; }

  // One exchange on the block as the shell could map it (`mappedSize` bytes, of which only the
  // link's block size is worked), or on a block it could not reach (nullptr).
  uint32_t Exchange(uint8_t* view, size_t mappedSize);
  // Moves a flying aircraft on by the time passed since the last call. The shells call it at
  // least every kTickInterval while Flying().
  static constexpr auto kTickInterval = std::chrono::milliseconds(100);
  void Tick(Clock::time_point now);
  // Whether time moves the aircraft: on its circuit, or along a recording that plays (or has
  // more to apply before it is where it should be).
  bool Flying() const { return peer_.Flying(); }
  // A replay behind where it should be: the shells tick again as soon as they have served what
  // is waiting, rather than a tick interval later.
  bool CatchingUp() const { return peer_.Behind(); }

  // Whether the exchange that just arrived must go unanswered (`hang N`).
  bool TakeHang() { return peer_.TakeHang(); }

  // A control client that sends nothing for this long is closed: the channel's slots are few.
  static constexpr auto kControlIdle = std::chrono::seconds(60);
  // With every slot taken, a newcomer takes the slot of the client quiet the longest, once that
  // one has been quiet this long, so idle connections cannot lock everyone else out (tavelor-web's
  // replay bar asks every second).
  static constexpr auto kControlShareAfter = std::chrono::seconds(2);

  // Control clients, by whatever number the shell knows its socket by. Accept is false when
  // every slot is taken by a client that spoke lately; the shell then closes that socket. When
  // a quiet client gave up its slot, *evicted names it, and the shell closes its socket.
  bool AcceptControl(ControlId id, std::optional<ControlId>* evicted = nullptr);
  // Bytes received (atEnd: the client has sent its last). True once a command was `quit`.
  bool ReceiveControl(ControlId id, const char* data, size_t size, bool atEnd);
  // Answers not sent yet; the shell erases what its socket took.
  std::string& ControlOutput(ControlId id);
  // Whether to read more from the client now.
  bool WantsInput(ControlId id) const;
  // A client that has sent its last is done once its answers are out or its time is up; one
  // that was cut off is done at once; one quiet for kControlIdle is done too.
  bool ControlDone(ControlId id, Clock::time_point now) const;
  // The nearest time at which ControlDone may change, or Clock::time_point::max().
  Clock::time_point NextControlDeadline() const;
  void CloseControl(ControlId id) { clients_.erase(id); }

  // An accept failed for want of descriptors or memory. Trying again at once would fail again
  // and spin, so the shells rest their listeners this long (the clients wait in the listen
  // queue meanwhile) and say so once, until accepting works again. The panel server's twin
  // (server/accept_backoff.h) logs to the server's log; the stand-in sits below the server.
  static constexpr auto kAcceptPause = std::chrono::milliseconds(250);
  void AcceptFailed(const std::string& reason);
  void AcceptRecovered() { acceptFailureSaid_ = false; }

  // One line on standard error: the stand-in has no log of its own, and inside
  // `tavelor-server --sim` it must not write into the server's.
  static void Say(const std::string& text);

 private:
  struct Client {
    ControlSession session;
    bool ended = false;
    Clock::time_point closeBy{};
    Clock::time_point lastHeard{};  // its last bytes, or its accept
  };

  SimOptions options_;
  SimPeer peer_;
  std::string startProblem_;
  Clock::time_point lastTick_{};
  std::map<ControlId, Client> clients_;
  bool acceptFailureSaid_ = false;
  bool evictionSaid_ = false;  // said once: a full channel makes room at every newcomer
};

}  // namespace tavelor::sim
