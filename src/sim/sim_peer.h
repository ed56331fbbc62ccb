// The stand-in simulator's side of the link: the walk of a received block over its offset
// memory, a journal of what arrived, and the control commands that tests and panel authors use.
// Portable: the socket and shared-memory plumbing lives in sim/posix (and sim/win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "sim/offset_memory.h"

namespace tavelor::sim {

inline constexpr uint32_t kDefaultFsuipcVersion = 0x40200000;  // any value >= 0x19980005 passes
inline constexpr uint32_t kDefaultSimVersion = 0xFADE0000 + 8;   // 0xFADE tag plus a simulator number

class Flight;
class Replay;
class MemorySource;
namespace flightgear {
class FlightGearSource;
}
using flightgear::FlightGearSource;

struct JournalEntry {
  uint64_t exchange;          // number of the exchange it came in, from 1 since start
  bool write;                 // a write record (else a read record)
  uint32_t offset;
  uint32_t size;
  std::vector<uint8_t> data;  // the written bytes (writes only)
};

struct PeerOptions {
  uint32_t fsuipcVersion = kDefaultFsuipcVersion;  // preset at 0x3304
  uint32_t simVersion = kDefaultSimVersion;        // preset at 0x3308
};

class SimPeer {
 public:
  explicit SimPeer(const PeerOptions& options = {});
  ~SimPeer();
  SimPeer(SimPeer&&) noexcept;
  SimPeer& operator=(SimPeer&&) noexcept;

  // One exchange: walk the records of `block` (its whole size), fill reads, apply writes in
  // block order, and return the answer the link sees: 1 when done, 0 on a malformed block or
  // while `fail N` is pending (the block is then left untouched). Never touches bytes outside
  // the block.
  // A malformed block (unknown record type, a header or data area running past the end, no end
  // marker) is refused whole: nothing is applied, filled or journalled, so the link never sees
  // half an exchange.
  uint32_t HandleBlock(uint8_t* block, size_t size);

  // Whether the exchange that just arrived must go unanswered: true for each of the N after a
  // `hang N`, each counted as an exchange. The simulator then looks busy to the link, whose
  // attempts time out.
  bool TakeHang();

  // A message whose block could not be reached (no such shared memory, bad name): it still
  // counts as an exchange and uses up a pending `fail`. Answers 0.
  uint32_t HandleMissingBlock();

  // One control line (without its line end) -> the answer, lines joined by "\n", no final "\n".
  // Sets *quit when the line was `quit`.
  std::string Control(const std::string& line, bool* quit);

  // The aircraft in motion (`fly on`, or --fly at start): the shell calls Tick with the time
  // that has passed, and the memory's source (the circuit, a replay, FlightGear) moves on by as
  // much. `fly` works the circuit only.
  void StartFlying();
  void StopFlying();
  bool Flying() const;  // the source moves the memory: the shell ticks
  void Tick(double seconds);
  // `fly at SECONDS`: the aircraft where its circuit has it that long after the start, flying
  // on from there if it was flying, else held there.
  void FlyAt(double seconds);

  // A recording replayed instead of the circuit (`--replay`): from its start, playing, over the
  // parked aircraft. The control channel's `replay` commands then move it; `fly` is refused.
  void StartReplay(std::unique_ptr<Replay> replay);
  // FlightGear instead of the circuit (`--flightgear`): the memory follows it, over whatever the
  // memory holds now (the parked aircraft). The control channel's `flightgear` says how it goes.
  void StartFlightGear(std::unique_ptr<FlightGearSource> source);
  bool Behind() const;  // the source has more to write before it is where it should be

  OffsetMemory& Memory() { return memory_; }
  // The journal keeps at most kJournalLimit entries (a few thousand panel replies); beyond
  // that the oldest are dropped one by one, so a simulator that nobody drains stays small (it
  // lives inside `tavelor-server --sim`) and never stalls an exchange to trim it.
  static constexpr size_t kJournalLimit = 50000;
  const std::deque<JournalEntry>& Journal() const { return journal_; }
  void ClearJournal() { journal_.clear(); }
  uint64_t Exchanges() const { return exchanges_; }
  // The library version the last client wrote at 0x330A while opening its link.
  uint16_t LibraryVersion() const { return libraryVersion_; }

 private:
  OffsetMemory memory_;
  std::deque<JournalEntry> journal_;
  uint64_t exchanges_ = 0;
  uint64_t failNext_ = 0;
  uint64_t hangNext_ = 0;
  uint16_t libraryVersion_ = 0;
  PeerOptions options_;
  std::unique_ptr<MemorySource> source_;  // what writes the memory besides the link
  Flight* flight_ = nullptr;              // the source's flight, when it is the circuit
  Replay* replay_ = nullptr;              // its recording, when it is a replay
  FlightGearSource* flightgear_ = nullptr;  // itself, when it is FlightGear

  void ApplyWrite(uint32_t offset, uint32_t size, const uint8_t* data);
  // The identity the link checks (0x3304 to 0x330B) as the options give it, after a replay
  // wrote whatever its recording holds.
  void KeepIdentity();

  void AddJournal(JournalEntry entry);
};

}  // namespace tavelor::sim
