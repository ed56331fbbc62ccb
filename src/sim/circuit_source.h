// The stand-in's own flight as the memory's source: the circuit (sim/world/flight.h), flying or
// held.
#pragma once

#include "sim/memory_source.h"
#include "sim/world/flight.h"

namespace tavelor::sim {

class CircuitSource : public MemorySource {
 public:
  void Advance(OffsetMemory& memory, double seconds) override { flight_.Advance(memory, seconds); }
  bool Moving() const override { return flight_.Flying(); }
  Flight& Circuit() { return flight_; }

 private:
  Flight flight_;
};

}  // namespace tavelor::sim
