#include "replies/traffic.h"

#include "replies/field_forms.h"
#include "replies/identifier_rules.h"
#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr int kClimbThreshold = 300;            // feet per minute either way counted as level
constexpr uint16_t kClimbPositiveMax = 30000;   // above it the raw value is a descent
constexpr int kFirstSlotField = 10;             // slot k's latitude is field 6 + 4k
constexpr int kFirstCallSignField = 70;         // slot k's call sign is field 69 + k

// The slot's own reals are taken at their exact value.
std::string DegreesText(float degrees) { return FixedText(static_cast<double>(degrees), 13, 8); }

TrafficTexts SlotTexts(const TrafficSlotReads& slot) {
  if (slot.id == 0) {
    return {"   0.00000000", "   0.00000000", "00000", "0", std::string(15, 'X')};
  }
  return {DegreesText(slot.latitude), DegreesText(slot.longitude),
          PaddedDec(RoundReal(static_cast<double>(slot.altitude)), 5), TrendDigit(slot.verticalSpeed),
          SimulatorText(slot.callSign, 15, ' ', FillSide::kAfter)};
}

}  // namespace

std::vector<TrafficSlotReads> ReadTraffic(PanelReads& in) {
  std::vector<TrafficSlotReads> slots;
  slots.reserve(offsets::kTrafficSlots);
  for (int k = 1; k <= offsets::kTrafficSlots; ++k) {
    const offsets::TrafficSlot slot = offsets::Traffic(k);
    // Braced initialisers run left to right: the reads are queued in the slot's byte order.
    slots.push_back(TrafficSlotReads{in.Read(slot.id), in.Read(slot.latitude),
                                     in.Read(slot.longitude), in.Read(slot.altitude),
                                     in.Read(slot.verticalSpeed), in.Read(slot.callSign)});
  }
  return slots;
}

std::string TrendDigit(uint16_t verticalSpeed) {
  const int32_t feetPerMinute = SignedWord(verticalSpeed, kClimbPositiveMax);
  if (feetPerMinute > kClimbThreshold) return "1";
  if (feetPerMinute < -kClimbThreshold) return "2";
  return "0";
}

std::vector<TrafficTexts> TrafficSlotTexts(const std::vector<TrafficSlotReads>& slots) {
  std::vector<TrafficTexts> texts;
  texts.reserve(slots.size());
  for (const TrafficSlotReads& slot : slots) texts.push_back(SlotTexts(slot));
  return texts;
}

void LogTraffic(PanelReply& reply) {
  if (!reply.Logging()) return;
  for (int k = 0; k < offsets::kTrafficSlots; ++k) {
    const int lat = kFirstSlotField + 4 * k;
    const int call = kFirstCallSignField + k;
    reply.LogText(reply.Label(call), reply.Text(call) + reply.Text(lat) + "/" + reply.Text(lat + 1) +
                                         "/" + reply.Text(lat + 2) + "/" + reply.Text(lat + 3));
  }
}

}  // namespace tavelor
