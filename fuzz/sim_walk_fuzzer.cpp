// The stand-in simulator's walk of a block written by a hostile client: the input is the whole
// block, in an allocation of exactly its size, so a byte read or written beyond it is a
// sanitizer report. A block the stand-in refuses must come back untouched, and what it does
// accept must show in its journal as the records laid out in the block.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "sim/sim_peer.h"
#include "simlink/ipc_records.h"

using namespace tavelor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> block(new uint8_t[size > 0 ? size : 1]);
  if (size > 0) std::memcpy(block.get(), data, size);
  static sim::SimPeer* peer = new sim::SimPeer;
  peer->ClearJournal();

  const uint32_t answer = peer->HandleBlock(block.get(), size);
  if (answer == 0) {
    FUZZ_CHECK(size == 0 || std::memcmp(block.get(), data, size) == 0);
    FUZZ_CHECK(peer->Journal().empty());
    return 0;
  }
  FUZZ_CHECK(answer == 1);
  // Each journal entry is the next record of the block, in order.
  size_t at = 0;
  for (const sim::JournalEntry& e : peer->Journal()) {
    FUZZ_CHECK(at + ipc::kWriteHeader <= size);
    FUZZ_CHECK(ipc::GetU32(data + at) == (e.write ? ipc::kWriteRecord : ipc::kReadRecord));
    FUZZ_CHECK(ipc::GetU32(data + at + 4) == e.offset && ipc::GetU32(data + at + 8) == e.size);
    const size_t header = e.write ? ipc::kWriteHeader : ipc::kReadHeader;
    FUZZ_CHECK(e.size <= size - at - header);
    if (e.write) FUZZ_CHECK(e.data.size() == e.size);
    if (e.write && e.size > 0) FUZZ_CHECK(std::memcmp(e.data.data(), data + at + header, e.size) == 0);
    at += header + e.size;
  }
  FUZZ_CHECK(at < size && data[at] == 0);  // the end marker
  return 0;
}
