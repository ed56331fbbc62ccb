// The two forms of each COM frequency kept in step. Four BCD digits hold hundredths of a MHz;
// on 25 kHz channels a last digit of 2 or 7 stands for .x25 or .x75 (118.27 is 118.275 MHz), so
// the hertz form gets its 5 kHz back. Hertz become BCD by dropping all below the hundredths of
// a MHz, which is also what an 8.33 kHz channel shows there (118.255 MHz reads 118.25). A value
// one form cannot hold (BCD digits above 9, hertz outside 100 to 199.999999 MHz) leaves the
// other form as it was.
#include <optional>

#include "sim/world/encodings.h"
#include "sim/offset_memory.h"
#include "simlink/offsets.h"

namespace tavelor::sim {

namespace {

struct ComRadio {
  Offset<uint16_t> bcd;
  Offset<int32_t> hertz;
};

constexpr ComRadio kComRadios[] = {
    {offsets::kCom1Active, offsets::kCom1ActiveHz},
    {offsets::kCom1Standby, offsets::kCom1StandbyHz},
    {offsets::kCom2Active, offsets::kCom2ActiveHz},
    {offsets::kCom2Standby, offsets::kCom2StandbyHz},
};

template <typename T>
bool Touches(uint32_t offset, uint32_t size, Offset<T> value) {
  return offset < value.address + sizeof(T) && uint64_t{offset} + size > value.address;
}

constexpr int32_t kHundredMegahertz = 100000000, kHertzPerHundredth = 10000;

std::optional<int32_t> HertzOf(uint16_t bcd) {
  if (!IsBcd(bcd)) return std::nullopt;
  const auto hundredths = static_cast<int32_t>(BcdValue(bcd));
  const int32_t last = hundredths % 10;
  return kHundredMegahertz + hundredths * kHertzPerHundredth + (last == 2 || last == 7 ? 5000 : 0);
}

std::optional<uint16_t> BcdOf(int32_t hertz) {
  if (hertz < kHundredMegahertz || hertz >= 2 * kHundredMegahertz) return std::nullopt;
  return Bcd(static_cast<unsigned>(hertz - kHundredMegahertz) / kHertzPerHundredth);
}

}  // namespace

void OffsetMemory::KeepRadiosInStep(uint32_t offset, uint32_t size) {
  for (const ComRadio& radio : kComRadios) {
    const bool bcd = Touches(offset, size, radio.bcd), hertz = Touches(offset, size, radio.hertz);
    if (bcd == hertz) continue;  // neither form written, or both at once: nothing to follow
    if (bcd) {
      if (const auto value = HertzOf(Get(radio.bcd))) {
        Store(radio.hertz.address, sizeof *value, reinterpret_cast<const uint8_t*>(&*value));
      }
    } else if (const auto value = BcdOf(Get(radio.hertz))) {
      Store(radio.bcd.address, sizeof *value, reinterpret_cast<const uint8_t*>(&*value));
    }
  }
}

}  // namespace tavelor::sim
