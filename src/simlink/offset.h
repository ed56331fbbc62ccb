// A simulator offset with the type of the value it holds. Reads and writes take their size from
// that type, so a 2-byte value can never be read into (or written from) a 4-byte variable by
// mistake: IpcRead(offsets::kTransponder, &someUint32) does not compile.
#pragma once

#include <cstdint>
#include <type_traits>

namespace tavelor {

template <typename T>
struct Offset {
  static_assert(std::is_trivially_copyable_v<T>, "offsets hold plain bytes");
  using Value = T;
  uint32_t address;
};

// The same location written with another width than it is read: a few commands store a 16-bit
// target as 32 bits (the two bytes after it become zero) or a 32-bit switch as 16 bits. The
// call site says so by using this.
template <typename U, typename T>
constexpr Offset<U> WrittenAs(Offset<T> offset) {
  return Offset<U>{offset.address};
}

}  // namespace tavelor
