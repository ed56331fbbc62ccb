// The table that ties FlightGear's properties to the stand-in's offsets: a row per property with
// the offset it feeds, the conversion between FlightGear's units and the simulator's encoding,
// and the way values go (in: FlightGear to the offset; out: what a panel writes there, to
// FlightGear; both). Data, not code: the built-in table (builtin_map.inc, FlightGear's generic
// instruments and its default aircraft, the c172p) is read by the same reader as a user's file
// (--flightgear-map FILE), whose rows are added to it or take the place of its rows.
//
//   # property                                     offset  conversion  way
//   /instrumentation/comm/frequencies/selected-mhz  05C4    com_hertz   both
//   /controls/lighting/beacon                       0D0C    bit:1       both
//
// Every conversion is built on the stand-in's own encodings (sim/world/encodings.h), and writes
// exactly the bytes of its row's offset: nothing FlightGear sends reaches any other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/offset_memory.h"

namespace tavelor::sim::flightgear {

// A property's value as FlightGear gave it: a number (true and false as 1 and 0) or a text.
struct PropertyValue {
  bool text = false;
  double number = 0;
  std::string string;
};

struct Conversion {
  const char* name;
  uint32_t size;        // the bytes it writes at its row's offset
  const char* meaning;  // FlightGear's side and the offset's, for a reader of the docs
  bool argument;        // takes a whole number after a colon: "bit:5", "signed16:512"
  // FlightGear's value into the bytes at the offset, which hold what is there now (a bit or a
  // flag keeps the rest).
  void (*in)(const PropertyValue& value, uint8_t* bytes, int argument);
  // The offset's value back in FlightGear's units (it may read a second offset that belongs to
  // the same value, as the ADF's); nullptr for a conversion that goes one way only.
  std::optional<double> (*out)(const OffsetMemory& memory, uint32_t offset, int argument);
};
const std::vector<Conversion>& Conversions();

enum class Way { kIn, kOut, kBoth };

struct MapRow {
  std::string property;  // "/instrumentation/comm/frequencies/selected-mhz"
  uint32_t offset = 0;
  const Conversion* conversion = nullptr;
  int argument = 0;
  Way way = Way::kIn;
  std::string where;  // "built-in table, line 12" or "c182.map, line 3": what a log line names
  bool In() const { return way != Way::kOut; }
  bool Out() const { return way != Way::kIn; }
};

// The rows that apply, in order (rows of one offset apply in the order they stand), and the
// properties they name, each once.
struct PropertyMap {
  std::vector<MapRow> rows;
  std::vector<std::string> properties;
  std::vector<size_t> propertyOf;  // each row's property, as an index into `properties`
};

// The rows of a table's text, or why not: the first bad row's line and what is wrong with it.
// `name` names the table in both ("c182.map, line 3: ...").
std::string ReadMapRows(std::string_view text, const std::string& name, std::vector<MapRow>* rows);

// The built-in table, with the rows of `userFile` when one is given: a user's row takes the
// place of every built-in row of its offset, so a file can move an offset to another property;
// its other rows are added. "" or why not.
std::string BuildPropertyMap(const std::string& userFile, PropertyMap* map);

std::string_view BuiltInMapText();

// The rows in effect in a map file's own form, each row's origin beside it, after the
// conversions with their bytes and meanings: where a user's map file starts, and what
// `tavelor-sim --flightgear-table` prints.
std::string MapText(const PropertyMap& map);

}  // namespace tavelor::sim::flightgear
