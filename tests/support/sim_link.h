// The program's one link, opened on the stand-in simulator's peer inside the test process:
// commands and replies run exactly as in the server, and the peer's journal shows what reached
// the simulator. Also a log capture for the lines handlers write.
#pragma once

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "sim/sim_peer.h"
#include "simlink/offset.h"
#include "support/fake_transport.h"

namespace tavelor::testing {

class SimLink {
 public:
  SimLink();   // installs the transport, opens the link and forgets the handshake's records
  ~SimLink();  // closes the link and removes the transport

  sim::SimPeer peer;
  FakeTransport transport;

  // Records received since the last call, and how many exchanges they came in.
  std::vector<sim::JournalEntry> TakeJournal();
  uint64_t ExchangesSinceOpen() const { return peer.Exchanges() - handshakeExchanges_; }

 private:
  uint64_t handshakeExchanges_ = 0;
};

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::vector<std::string> lines;
};

// The bytes of a value as the simulator stores it (little-endian).
std::vector<uint8_t> Bytes(uint64_t value, size_t size);

// Stores a value at a named offset of the stand-in's memory, as the simulator would hold it.
template <typename T>
void Poke(sim::OffsetMemory& memory, Offset<T> offset, const std::type_identity_t<T>& value) {
  memory.Put(offset, value);
}

// Turns debug logging on or off for one scope and restores it afterwards, also when the test
// fails half-way.
class ScopedDebug {
 public:
  explicit ScopedDebug(bool on);
  ~ScopedDebug();
  ScopedDebug(const ScopedDebug&) = delete;
  ScopedDebug& operator=(const ScopedDebug&) = delete;

 private:
  bool saved_;
};

}  // namespace tavelor::testing
