// The stand-in's common values in cockpit units, for the control channel's `set` and `get`:
// a panel author says "com1 118.50" instead of working out the BCD digits of 0x034E.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/offset_memory.h"

namespace tavelor::sim {

// What one part of a value may be: `set` refuses anything outside it, and `help` states it.
struct ValueRange {
  double low, high;
  int decimals;  // as `help` writes the bounds
};

struct CockpitValue {
  const char* name;
  const char* unit;                // what `set` takes and `get` gives, for `help`
  std::vector<ValueRange> parts;   // a value of several parts is written PART/PART
};

// Every name `set` and `get` know, in the order `help` lists them.
const std::vector<CockpitValue>& CockpitValues();
// The line `help` shows for a value: its name, unit and ranges.
std::string HelpLine(const CockpitValue& value);

// "OK", or "ERR " and why (unknown name, a value out of range or not a number).
std::string SetCockpitValue(OffsetMemory& memory, std::string_view name, std::string_view value);
// "OK " and the value in cockpit units, or "ERR " and why.
std::string GetCockpitValue(const OffsetMemory& memory, std::string_view name);

}  // namespace tavelor::sim
