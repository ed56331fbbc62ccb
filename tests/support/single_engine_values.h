// Test helpers for the single-engine panel replies: tables of poked values, the fields of a
// reply line, and random offset memory with the panels' values in range.
#pragma once

#include "support/panel_fields.h"  // FieldsOf

#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "sim/sim_peer.h"
#include "simlink/offset.h"
#include "support/sim_link.h"

namespace tavelor::testing {

using MemoryChange = std::function<void(sim::OffsetMemory&)>;

// One value stored at its offset, as a row of a case table.
template <typename T>
MemoryChange Set(Offset<T> offset, std::type_identity_t<T> value) {
  return [offset, value](sim::OffsetMemory& memory) { Poke(memory, offset, value); };
}


// Random bytes in the whole offset memory.
void FillRandom(sim::OffsetMemory& memory, std::mt19937& random);

// Finite values a flying aircraft could show at the 64-bit real offsets both panels read.
void LoadPlausibleReals(sim::OffsetMemory& memory, std::mt19937& random);

// Every value both panels read, random within the range in which its field keeps its width.
void LoadSharedInRange(sim::OffsetMemory& memory, std::mt19937& random);

// An aircraft in cruise with every value of both panels set, each field differing from its
// neighbours: C172 shows it as
// "11:01001010:3:1:04096:015:280:1405:1205:075:050:700:010:080:060:50:-02:110:04500:1013:..."
void LoadCruisingAircraft(sim::OffsetMemory& memory);

// A random integer in lo..hi, both included.
template <typename T>
T Between(std::mt19937& random, T lo, T hi) {
  using Wide = std::conditional_t<std::is_signed_v<T>, long long, unsigned long long>;
  return static_cast<T>(std::uniform_int_distribution<Wide>(lo, hi)(random));
}
double Between(std::mt19937& random, double lo, double hi);

}  // namespace tavelor::testing
