// The forms every reply field takes: zero-filled widths, signs, limits, switch digits. The
// conversion rules (angle_rules.h, speed_rules.h, ...) build on these, so a field's width, sign
// and limit are spelled one way everywhere.
//
// Zero-filling counts a minus sign as a character ("00-50") and never cuts a longer text.
// Reals are rounded to the nearest integer, halves to even, formed in extended precision (see
// RoundExtended); a value that is not finite, or whose scaled value does not fit 64 bits, ends
// the request with "Invalid floating point operation".
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>

namespace tavelor {

// DecText(n) zero-filled in front to `width` characters.
std::string PaddedDec(int64_t n, size_t width);

// n held between low and high.
int64_t Clamp(int64_t n, int64_t low, int64_t high);
inline int64_t AtMost(int64_t n, int64_t high) {
  return Clamp(n, std::numeric_limits<int64_t>::min(), high);
}

// A signed quantity the simulator keeps in an unsigned word, read the way the panels always
// have: a raw value above `positiveMax` is negative (raw - 65536). The limit is the panel's,
// not 32767: clients rely on it.
int32_t SignedWord(uint16_t raw, uint16_t positiveMax);

// Of x rounded to the nearest whole number, only the low 32 bits, as a signed number: the
// single-engine, FGP and XRAD panels have always shown a real beyond 2^31 wrapped.
int32_t NearestWhole(long double x);

// A sign character, then the magnitude's digits zero-filled to `width`: "-" when negative,
// else `positive` ("+" on the flight displays, "0" on the single-engine panels).
std::string SignedText(bool negative, const std::string& magnitude, size_t width, char positive);

inline constexpr uint64_t kNoClamp = std::numeric_limits<uint64_t>::max();
// "+" or "-" and the magnitude of n, held to `clamp` and zero-filled to `digits`: "+0500".
std::string SignedField(int64_t n, size_t digits, uint64_t clamp = kNoClamp);

// Switch values as decimals run together with no separator: "1000000" for the autopilot
// master alone. Unsigned 32-bit switches show as such; a panel that takes them signed passes
// them signed (a stray all-ones value then shows "-1").
std::string SwitchDigits(std::initializer_list<int64_t> values);

}  // namespace tavelor
