// A link opened on the stand-in simulator's peer inside the test process, and a request state
// of the test's own around it: commands and replies run exactly as in the server, and the
// peer's journal shows what reached the simulator. Also a log capture for the lines handlers
// write.
#pragma once

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "core/request_codes.h"
#include "core/request_state.h"
#include "sim/sim_peer.h"
#include "simlink/offset.h"
#include "support/fake_transport.h"

namespace tavelor::testing {

class SimLink {
 public:
  SimLink();  // opens the link and forgets the handshake's records

  sim::SimPeer peer;
  FakeTransport transport;
  IpcClient client{&transport};
  RequestState state{client};  // the program's start values; its log goes nowhere

  // Records received since the last call, and how many exchanges they came in.
  std::vector<sim::JournalEntry> TakeJournal();
  uint64_t ExchangesSinceOpen() const { return peer.Exchanges() - handshakeExchanges_; }

 private:
  uint64_t handshakeExchanges_ = 0;
};

// Catches the lines logged through `state` while it lives.
class LogCapture {
 public:
  explicit LogCapture(RequestState& state);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  std::vector<std::string> lines;

 private:
  RequestState& state_;
  LogSink saved_;
};

// A command's handler called as the dispatcher calls it: with the arguments its code's row reads
// from the request text (without the two ignored characters).
using Handler = void (*)(RequestState&, const CommandArguments&);
inline void Call(Handler handler, RequestState& state, const std::string& requestText) {
  handler(state, CommandArguments(requestText, *MatchRequestCode(requestText)));
}

// The bytes of a value as the simulator stores it (little-endian).
std::vector<uint8_t> Bytes(uint64_t value, size_t size);

// Stores a value at a named offset of the stand-in's memory, as the simulator would hold it.
template <typename T>
void Poke(sim::OffsetMemory& memory, Offset<T> offset, const std::type_identity_t<T>& value) {
  memory.Put(offset, value);
}

}  // namespace tavelor::testing
