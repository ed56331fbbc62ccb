// What writes the stand-in's offset memory besides the link: one source at a time, its own
// circuit (sim/circuit_source.h), a recording (sim/replay_source.h) or FlightGear
// (sim/flightgear/flightgear_source.h). The peer hands it the time that passes, the moment
// before an exchange reads the memory, and every write a panel makes; the source does the rest.
#pragma once

#include <cstdint>

#include "sim/offset_memory.h"

namespace tavelor::sim {

class MemorySource {
 public:
  virtual ~MemorySource() = default;

  // `seconds` of the host's time have passed.
  virtual void Advance(OffsetMemory& memory, double seconds) = 0;
  // Whether time moves the memory: the shells then tick at least every tick interval.
  virtual bool Moving() const = 0;
  // Whether it has more to write before it is where it should be: the shells tick again as
  // soon as they have served what is waiting.
  virtual bool Behind() const { return false; }
  // An exchange is about to read the memory: a source fed from outside brings it up to date.
  virtual void Refresh(OffsetMemory&) {}
  // A panel wrote `size` bytes at `offset` through the link (the memory already holds them).
  virtual void Written(const OffsetMemory&, uint32_t /*offset*/, uint32_t /*size*/) {}
};

}  // namespace tavelor::sim
