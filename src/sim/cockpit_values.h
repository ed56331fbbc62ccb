// The stand-in's common values in cockpit units, for the control channel's `set` and `get`:
// a panel author says "com1 118.50" instead of working out the BCD digits of 0x034E.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_peer.h"

namespace tavelor::sim {

struct CockpitValue {
  const char* name;
  const char* unit;  // what `set` takes and `get` gives, for `help`
};

// Every name `set` and `get` know, in the order `help` lists them.
const std::vector<CockpitValue>& CockpitValues();

// "OK", or "ERR " and why (unknown name, a value out of range or not a number).
std::string SetCockpitValue(OffsetMemory& memory, std::string_view name, std::string_view value);
// "OK " and the value in cockpit units, or "ERR " and why.
std::string GetCockpitValue(const OffsetMemory& memory, std::string_view name);

}  // namespace tavelor::sim
