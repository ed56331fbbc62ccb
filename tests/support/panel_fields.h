// Helpers for the panel reply tests: cutting a reply line into its fields, filling the
// stand-in's offsets with a random but plausible flying aircraft from a fixed seed.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_peer.h"
#include "simlink/offsets.h"
#include "support/sim_link.h"

namespace tavelor::testing {

// The fields of a reply line without the ":" after each and the CR LF at the end. The line
// must not hold a ":" inside a field (the random identifiers below never do).
std::vector<std::string> FieldsOf(const std::string& line);
// The same, numbered from 1 as the panels number them (element 0 is unused), after checking
// that the line ends ":" CR LF.
std::vector<std::string> Fields(const std::string& line);

// A fixed-size character field from a text that may hold zero bytes; the rest is zero-filled.
template <size_t N>
std::array<char, N> Chars(std::string_view text) {
  std::array<char, N> bytes{};
  std::memcpy(bytes.data(), text.data(), std::min(N, text.size()));
  return bytes;
}
inline offsets::Ident Ident(std::string_view text) { return Chars<6>(text); }
inline offsets::CallSign CallSign(std::string_view text) { return Chars<15>(text); }
// Six identifier bytes from a literal, zero bytes included: IdentOf("ABC\0\0\0").
inline offsets::Ident IdentOf(const char (&six)[7]) { return Ident(std::string_view(six, 6)); }

inline std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// Every value the HSI and PFD panels read, random within what an aircraft in flight shows:
// reals finite (headings 0..360, GPS distances to 4000 km, cross-track within 20 km, the
// flight director and Ace within +-99), switches and marker lights 0 or 1, courses 0..359,
// autopilot altitude to 99999 ft and vertical speed to +-8000 ft/min, DME distances to 350 nm,
// speeds and times not negative, identifiers of letters and digits. Everything else any value.
void PokeFlyingPanel(sim::OffsetMemory& memory, std::mt19937& rng);

// Checks the field count, the ":" CR LF ending and every field's width as the panel's table
// gives it; the fields numbered in `varying` (plain decimals, whose length follows their
// value) need only not be empty.
void ExpectWidths(const std::string& line, std::string_view code, std::initializer_list<int> varying = {});

// The message of the RequestError that `request` ends with when handed `state`; "" when it
// ends normally.
std::string RequestErrorOf(const std::function<void(RequestState&)>& request,
                           RequestState& state);

// The records the stand-in received as writes since its journal was last taken.
std::vector<sim::JournalEntry> WritesOf(SimLink& link);

}  // namespace tavelor::testing
