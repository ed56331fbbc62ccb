// Texts the simulator holds (station and waypoint identifiers, traffic call signs), put into a
// reply field of fixed width.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "simlink/offsets.h"

namespace tavelor {

enum class FillSide { kAfter, kBefore };

// The bytes, zero bytes included, trimmed of characters 0..32 at both ends, then cut to
// `width` or filled with `fill` on the given side up to it; `width` fill characters when
// nothing is left. Inside what is left, a ':', a control byte (below 0x20: an inner zero byte
// too) or 0x7F shows as '?', so that whatever the simulator holds, the reply keeps its fields
// and its one line, and the debug block shows the same text.
std::string SimulatorText(std::string_view bytes, size_t width, char fill, FillSide side);
template <size_t N>
std::string SimulatorText(const std::array<char, N>& bytes, size_t width, char fill, FillSide side) {
  return SimulatorText(std::string_view(bytes.data(), N), width, fill, side);
}

// A station or waypoint identifier in five characters filled with "-": "ABC--" or "--ABC",
// "-----" when there is none.
inline std::string IdentText(const offsets::Ident& bytes, FillSide dashes) {
  return SimulatorText(bytes, 5, '-', dashes);
}

// The next GPS waypoint as the moving map and the FMS show it: five characters filled with
// blanks after it, five blanks when there is none.
inline std::string GpsIdText(const offsets::Ident& bytes) {
  return SimulatorText(bytes, 5, ' ', FillSide::kAfter);
}

}  // namespace tavelor
