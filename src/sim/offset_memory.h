// The stand-in simulator's offset memory: the simulator's numbered state as one flat array.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "simlink/offset.h"

namespace tavelor::sim {

// 65536 bytes, offsets 0x0000..0xFFFF. Reads beyond it give zeros, writes beyond it are dropped.
// As in the simulator, each COM radio keeps its frequency in two forms, four BCD digits and whole
// kilohertz: whatever writes one of them (the link, `poke`, `set`, the flight), the other follows.
class OffsetMemory {
 public:
  static constexpr size_t kSize = 0x10000;
  void Read(uint32_t offset, uint32_t size, uint8_t* out) const;
  void Write(uint32_t offset, uint32_t size, const uint8_t* in);
  void WriteU16(uint32_t offset, uint16_t v);
  void WriteU32(uint32_t offset, uint32_t v);
  void WriteDouble(uint32_t offset, double v);
  // The bytes as given, each radio's other form left as it is: a recording holds both forms as
  // the simulator had them, whichever of them a reply read.
  void WriteUnpaired(uint32_t offset, uint32_t size, const uint8_t* in) { Store(offset, size, in); }

  // A value at a named offset, little-endian as the simulator keeps it (so is the host).
  template <typename T>
  void Put(Offset<T> offset, const std::type_identity_t<T>& value) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    Write(offset.address, sizeof(T), bytes);
  }
  template <typename T>
  T Get(Offset<T> offset) const {
    uint8_t bytes[sizeof(T)];
    Read(offset.address, sizeof(T), bytes);
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }

 private:
  void Store(uint32_t offset, uint32_t size, const uint8_t* in);
  void KeepRadiosInStep(uint32_t offset, uint32_t size);  // radio_pairs.cpp
  std::array<uint8_t, kSize> bytes_{};
};

}  // namespace tavelor::sim
