// The two forms of each COM frequency kept in step. Four BCD digits hold hundredths of a MHz;
// on 25 kHz channels a last digit of 2 or 7 stands for .x25 or .x75 (118.27 is 118.275 MHz), so
// the kilohertz form gets its 5 back. Kilohertz become BCD by dropping the last digit, which is
// also what an 8.33 kHz channel shows there (118.255 MHz reads 118.25). A value one form cannot
// hold (BCD digits above 9, kilohertz outside 100000 to 199999) leaves the other form as it was.
#include <optional>

#include "sim/encodings.h"
#include "sim/offset_memory.h"
#include "simlink/offsets.h"

namespace tavelor::sim {

namespace {

struct ComRadio {
  Offset<uint16_t> bcd;
  Offset<int32_t> kilohertz;
};

constexpr ComRadio kComRadios[] = {
    {offsets::kCom1Active, offsets::kCom1ActiveKhz},
    {offsets::kCom1Standby, offsets::kCom1StandbyKhz},
    {offsets::kCom2Active, offsets::kCom2ActiveKhz},
    {offsets::kCom2Standby, offsets::kCom2StandbyKhz},
};

template <typename T>
bool Touches(uint32_t offset, uint32_t size, Offset<T> value) {
  return offset < value.address + sizeof(T) && uint64_t{offset} + size > value.address;
}

std::optional<int32_t> KilohertzOf(uint16_t bcd) {
  if (!IsBcd(bcd)) return std::nullopt;
  const auto hundredths = static_cast<int32_t>(BcdValue(bcd));
  const int32_t last = hundredths % 10;
  return 100000 + hundredths * 10 + (last == 2 || last == 7 ? 5 : 0);
}

std::optional<uint16_t> BcdOf(int32_t kilohertz) {
  if (kilohertz < 100000 || kilohertz > 199999) return std::nullopt;
  return Bcd(static_cast<unsigned>(kilohertz - 100000) / 10);
}

}  // namespace

void OffsetMemory::KeepRadiosInStep(uint32_t offset, uint32_t size) {
  for (const ComRadio& radio : kComRadios) {
    const bool bcd = Touches(offset, size, radio.bcd), kilohertz = Touches(offset, size, radio.kilohertz);
    if (bcd == kilohertz) continue;  // neither form written, or both at once: nothing to follow
    if (bcd) {
      if (const auto value = KilohertzOf(Get(radio.bcd))) {
        Store(radio.kilohertz.address, sizeof *value, reinterpret_cast<const uint8_t*>(&*value));
      }
    } else if (const auto value = BcdOf(Get(radio.kilohertz))) {
      Store(radio.bcd.address, sizeof *value, reinterpret_cast<const uint8_t*>(&*value));
    }
  }
}

}  // namespace tavelor::sim
