// Simulator memory for the map panels' tests: traffic slots, and random memory kept to values
// a simulator could hold.
#pragma once

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include "sim/sim_peer.h"
#include "simlink/offsets.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor::testing {

inline void ClearMemory(sim::OffsetMemory& memory) {
  const std::vector<uint8_t> zeros(sim::OffsetMemory::kSize);
  memory.Write(0, static_cast<uint32_t>(zeros.size()), zeros.data());
}

inline void UseTrafficSlot(sim::OffsetMemory& memory, int k, float lat, float lon, float alt,
                           uint16_t verticalSpeed, std::string_view callSign) {
  const offsets::TrafficSlot slot = offsets::Traffic(k);
  Poke(memory, slot.id, 1000u + static_cast<uint32_t>(k));
  Poke(memory, slot.latitude, lat);
  Poke(memory, slot.longitude, lon);
  Poke(memory, slot.altitude, alt);
  Poke(memory, slot.verticalSpeed, verticalSpeed);
  Poke(memory, slot.callSign, CallSign(callSign));
}

// Every byte random, then the reals made finite and plausible, the texts made of letters,
// digits, blanks and zero bytes, and about one traffic slot in four emptied.
inline void FillPlausible(sim::OffsetMemory& memory, std::mt19937_64& random) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto between = [&](double low, double high) { return low + (high - low) * unit(random); };
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 \0";
  auto text = [&](auto bytes) {
    for (char& c : bytes) c = kAlphabet[random() % (sizeof kAlphabet - 1)];
    return bytes;
  };

  std::vector<uint8_t> bytes(sim::OffsetMemory::kSize);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  memory.Write(0, static_cast<uint32_t>(bytes.size()), bytes.data());

  const double latitude = between(-90, 90);
  Poke(memory, offsets::kLatitude, static_cast<int64_t>(latitude / 90 * 10001750 * 4294967296.0));
  Poke(memory, offsets::kHeading, between(0, 360));
  Poke(memory, offsets::kGpsDistance, between(0, 3e6));
  Poke(memory, offsets::kGpsTimeToGo, static_cast<int32_t>(between(0, 8000)));
  Poke(memory, offsets::kGpsCourse, between(0, 6.28));
  Poke(memory, offsets::kGpsCrossTrack, between(-20000, 20000));
  Poke(memory, offsets::kGroundSpeed, static_cast<int32_t>(between(0, 600) * 65536));
  Poke(memory, offsets::kGpsNextId, text(offsets::Ident{}));
  Poke(memory, offsets::kNav1Ident, text(offsets::Ident{}));
  Poke(memory, offsets::kNav2Ident, text(offsets::Ident{}));
  for (int k = 1; k <= offsets::kTrafficSlots; ++k) {
    const offsets::TrafficSlot slot = offsets::Traffic(k);
    if (random() % 4 == 0) Poke(memory, slot.id, 0u);
    Poke(memory, slot.latitude, static_cast<float>(between(-90, 90)));
    Poke(memory, slot.longitude, static_cast<float>(between(-180, 180)));
    Poke(memory, slot.altitude, static_cast<float>(between(-999, 60000)));
    Poke(memory, slot.callSign, text(offsets::CallSign{}));
  }
}

}  // namespace tavelor::testing
