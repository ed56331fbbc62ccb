// The walk of one received block. The block is checked whole before anything is applied: the
// record headers never change while reads are filled (data areas do not overlap headers), so a
// structural pass followed by an applying pass sees the same records.
#include <cstring>
#include <utility>

#include "sim/sim_peer.h"

#include "sim/circuit_source.h"
#include "sim/flightgear/flightgear_source.h"
#include "sim/replay_source.h"
#include "sim/world/parked_aircraft.h"
#include "simlink/ipc_records.h"

namespace tavelor::sim {

namespace {

using ipc::GetU32;

struct Record {
  bool write;
  uint32_t offset;
  uint32_t size;
  size_t data;  // position of the data area in the block
};

// Walks the record list; calls `each` for every record and returns true when the list ends
// with a marker inside the block and every record lies wholly inside it.
template <typename Each>
bool WalkRecords(const uint8_t* block, size_t size, Each&& each) {
  size_t pos = 0;
  // Every record takes at least 12 bytes, so the walk ends within size / 12 + 1 steps.
  while (pos < size) {
    if (block[pos] == 0) return true;  // end of list: only the first byte counts
    if (size - pos < 4) return false;
    const uint32_t type = GetU32(block + pos);
    size_t header;
    if (type == ipc::kReadRecord) {
      header = ipc::kReadHeader;
    } else if (type == ipc::kWriteRecord) {
      header = ipc::kWriteHeader;
    } else {
      return false;
    }
    if (size - pos < header) return false;
    const uint32_t offset = GetU32(block + pos + 4);
    const uint32_t length = GetU32(block + pos + 8);
    if (length > size - pos - header) return false;
    each(Record{type == ipc::kWriteRecord, offset, length, pos + header});
    pos += header + length;
  }
  return false;  // ran off the end without an end marker
}

void PresetIdentity(OffsetMemory& memory, const PeerOptions& options) {
  memory.WriteU32(ipc::kFsuipcVersionOffset, options.fsuipcVersion);
  memory.WriteU32(ipc::kSimVersionOffset, options.simVersion);
}

}  // namespace

SimPeer::~SimPeer() = default;
SimPeer::SimPeer(SimPeer&&) noexcept = default;
SimPeer& SimPeer::operator=(SimPeer&&) noexcept = default;

// `fly` speaks to the circuit, which is the source unless a replay or FlightGear took its place.
void SimPeer::StartFlying() {
  if (flight_) flight_->Start(memory_);
}
void SimPeer::StopFlying() {
  if (flight_) flight_->Stop();
}
void SimPeer::FlyAt(double seconds) {
  if (flight_) flight_->JumpTo(memory_, seconds);
}
bool SimPeer::Flying() const { return source_->Moving(); }
bool SimPeer::Behind() const { return source_->Behind(); }
void SimPeer::Tick(double seconds) {
  source_->Advance(memory_, seconds);
  KeepIdentity();
}

SimPeer::SimPeer(const PeerOptions& options) : options_(options) {
  auto circuit = std::make_unique<CircuitSource>();
  flight_ = &circuit->Circuit();
  source_ = std::move(circuit);
  PresetIdentity(memory_, options_);
}

// A recording, or FlightGear through a map file, may write anything: the simulator stays
// itself, or the link would refuse it.
void SimPeer::KeepIdentity() { PresetIdentity(memory_, options_); }

void SimPeer::StartReplay(std::unique_ptr<Replay> replay) {
  replay->Begin(memory_, [options = options_](OffsetMemory& memory) {
    memory = OffsetMemory{};
    PresetIdentity(memory, options);
    LoadParkedAircraft(memory);
  });
  replay_ = replay.get();
  flight_ = nullptr;
  flightgear_ = nullptr;
  source_ = std::make_unique<ReplaySource>(std::move(replay));
}

void SimPeer::StartFlightGear(std::unique_ptr<FlightGearSource> source) {
  flightgear_ = source.get();
  flight_ = nullptr;
  replay_ = nullptr;
  source_ = std::move(source);
}

uint32_t SimPeer::HandleBlock(uint8_t* block, size_t size) {
  const uint64_t exchange = ++exchanges_;
  if (failNext_ > 0) {
    --failNext_;
    return 0;
  }
  if (block == nullptr) return 0;
  if (!WalkRecords(block, size, [](const Record&) {})) return 0;
  source_->Refresh(memory_);
  KeepIdentity();
  WalkRecords(block, size, [&](const Record& r) {
    JournalEntry entry{exchange, r.write, r.offset, r.size, {}};
    if (r.write) {
      ApplyWrite(r.offset, r.size, block + r.data);
      entry.data.assign(block + r.data, block + r.data + r.size);
    } else {
      memory_.Read(r.offset, r.size, block + r.data);
    }
    AddJournal(std::move(entry));
  });
  return 1;
}

// The handshake area reads back as the simulator's identity whatever a client writes: the
// client's library version written at 0x330A is kept aside, or it would overwrite the 0xFADE
// tag in the high half of 0x3308 and every later client would fail its version test.
void SimPeer::ApplyWrite(uint32_t offset, uint32_t size, const uint8_t* data) {
  constexpr uint32_t kFirst = ipc::kFsuipcVersionOffset, kLast = ipc::kLibraryVersionOffset + 1;
  const bool touchesHandshake = offset <= kLast && uint64_t{offset} + size > kFirst;
  uint8_t saved[8];
  if (touchesHandshake) memory_.Read(kFirst, sizeof saved, saved);
  memory_.Write(offset, size, data);
  source_->Written(memory_, offset, size);
  if (!touchesHandshake) return;
  uint8_t written[8];
  memory_.Read(kFirst, sizeof written, written);
  if (offset <= ipc::kLibraryVersionOffset && uint64_t{offset} + size >= ipc::kLibraryVersionOffset + 2u)
    libraryVersion_ = static_cast<uint16_t>(written[6] | (written[7] << 8));
  memory_.Write(kFirst, sizeof saved, saved);
}

uint32_t SimPeer::HandleMissingBlock() { return HandleBlock(nullptr, 0); }

bool SimPeer::TakeHang() {
  if (hangNext_ == 0) return false;
  --hangNext_;
  ++exchanges_;
  return true;
}

void SimPeer::AddJournal(JournalEntry entry) {
  if (journal_.size() >= kJournalLimit) journal_.pop_front();
  journal_.push_back(std::move(entry));
}

}  // namespace tavelor::sim
