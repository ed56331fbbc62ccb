// Helpers for the panel reply tests: cutting a reply line into its fields, and filling the
// stand-in's offsets with random but plausible values from a fixed seed.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "sim/sim_peer.h"
#include "simlink/offsets.h"
#include "support/sim_link.h"

namespace tavelor::testing {

// The fields of a reply line without the ":" after each and the CR LF at the end. The line
// must not hold a ":" inside a field (the random identifiers below never do).
inline std::vector<std::string> FieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::string body = line;
  if (body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0) body.resize(body.size() - 2);
  size_t start = 0;
  for (size_t colon; (colon = body.find(':', start)) != std::string::npos; start = colon + 1) {
    fields.push_back(body.substr(start, colon - start));
  }
  if (start < body.size()) fields.push_back(body.substr(start));  // a field with no ":" after it
  return fields;
}

// Random values poked at named offsets; the same seed gives the same panel every run.
class RandomPanel {
 public:
  RandomPanel(sim::OffsetMemory& memory, uint32_t seed) : memory_(memory), rng_(seed) {}

  // Any value of the offset's integer type.
  template <typename T>
  void Any(Offset<T> offset) {
    Poke(memory_, offset, static_cast<T>(Next64()));
  }
  // An integer from lo to hi.
  template <typename T>
  void Between(Offset<T> offset, int64_t lo, int64_t hi) {
    Poke(memory_, offset, static_cast<T>(std::uniform_int_distribution<int64_t>(lo, hi)(rng_)));
  }
  // A real from lo to hi.
  void Real(Offset<double> offset, double lo, double hi) {
    Poke(memory_, offset, std::uniform_real_distribution<double>(lo, hi)(rng_));
  }
  // An identifier of letters and digits, 0 to 6 of them, zero bytes after.
  void Ident(Offset<offsets::Ident> offset) {
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    offsets::Ident bytes{};
    const int length = std::uniform_int_distribution<int>(0, 6)(rng_);
    for (int i = 0; i < length; ++i) bytes[i] = kChars[std::uniform_int_distribution<int>(0, 35)(rng_)];
    Poke(memory_, offset, bytes);
  }

 private:
  uint64_t Next64() { return (static_cast<uint64_t>(rng_()) << 32) | rng_(); }
  sim::OffsetMemory& memory_;
  std::mt19937 rng_;
};

// Keeps the speed re-send's program-wide values for one scope and puts them back afterwards,
// also when the test fails half-way.
class ScopedSpeedGlobals {
 public:
  ScopedSpeedGlobals() = default;
  ~ScopedSpeedGlobals() {
    SpeedRefMode = mode_;
    PfdRefreshCount = pfd_;
    FgpRefreshCount = fgp_;
  }
  ScopedSpeedGlobals(const ScopedSpeedGlobals&) = delete;
  ScopedSpeedGlobals& operator=(const ScopedSpeedGlobals&) = delete;

 private:
  int mode_ = SpeedRefMode;
  int pfd_ = PfdRefreshCount;
  int fgp_ = FgpRefreshCount;
};

// The expected length of each field: a fixed width, or kVaries for a field whose length
// follows its value (plain decimals).
inline constexpr int kVaries = -1;

}  // namespace tavelor::testing
