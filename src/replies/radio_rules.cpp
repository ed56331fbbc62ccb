#include "replies/radio_rules.h"

#include "replies/field_forms.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr uint16_t kRadioDmeMaxTenths = 6500;   // 650.0 nm fills the radio stacks' five characters
constexpr uint16_t kHsiDmeMaxTenths = 65000;    // above it the HSI reads the receiver as unlocked
constexpr uint16_t kDmeRangeTenths = 3000;      // 300 nm: no DME station is received beyond
constexpr int32_t kAdfUsableSignal = 10;        // above it the ADF needle is meaningful

}  // namespace

std::string DmeText(uint16_t tenths) {
  const std::string text = tenths > kRadioDmeMaxTenths ? "0.0" : FixedText(RealDiv(tenths, 10), 3, 1);
  return PadLeft(text, 5, ' ');
}

std::string DmeHundredthsText(uint16_t tenths) {
  return PaddedDec(tenths > kHsiDmeMaxTenths ? 0 : int64_t{tenths} * 10, 5);
}

std::string DmeTenthsText(uint16_t tenths) {
  return PaddedDec(tenths > kDmeRangeTenths ? 0 : tenths, 4);
}

std::string DmeInRangeFlag(uint16_t tenths) {
  return tenths != 0 && tenths <= kDmeRangeTenths ? "1" : "0";
}

std::string TenthsAsWholeText(uint16_t tenths) { return PaddedDec(RoundExtended(tenths / 10.0L), 4); }

std::string AdfSignalFlagText(int32_t signal) { return signal > kAdfUsableSignal ? "1" : "0"; }

}  // namespace tavelor
