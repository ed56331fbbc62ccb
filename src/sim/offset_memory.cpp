// Offset memory: the simulator's numbered state as one flat 64 KiB array. Requests that run past
// its end are cut byte by byte, so a record straddling 0xFFFF still reads or writes its in-range
// part.
#include <algorithm>
#include <cstring>

#include "sim/offset_memory.h"

namespace tavelor::sim {

namespace {

// Bytes of [offset, offset + size) that fall inside the memory; 64-bit so no sum can wrap.
size_t InRange(uint32_t offset, uint32_t size) {
  if (offset >= OffsetMemory::kSize) return 0;
  return static_cast<size_t>(
      std::min<uint64_t>(size, static_cast<uint64_t>(OffsetMemory::kSize) - offset));
}

}  // namespace

void OffsetMemory::Read(uint32_t offset, uint32_t size, uint8_t* out) const {
  if (size == 0) return;
  const size_t inside = InRange(offset, size);
  if (inside > 0) std::memcpy(out, bytes_.data() + offset, inside);
  std::memset(out + inside, 0, size - inside);
}

void OffsetMemory::Write(uint32_t offset, uint32_t size, const uint8_t* in) {
  Store(offset, size, in);
  KeepRadiosInStep(offset, size);
}

void OffsetMemory::Store(uint32_t offset, uint32_t size, const uint8_t* in) {
  const size_t inside = InRange(offset, size);
  if (inside > 0) std::memcpy(bytes_.data() + offset, in, inside);
}

void OffsetMemory::WriteU16(uint32_t offset, uint16_t v) {
  const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  Write(offset, 2, b);
}

void OffsetMemory::WriteU32(uint32_t offset, uint32_t v) {
  uint8_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
  Write(offset, 4, b);
}

void OffsetMemory::WriteDouble(uint32_t offset, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(bits >> (8 * i));
  Write(offset, 8, b);
}

}  // namespace tavelor::sim
