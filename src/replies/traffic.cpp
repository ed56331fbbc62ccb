#include "replies/traffic.h"

#include "text/conversions.h"
#include "text/real_math.h"

namespace tavelor {

namespace {

constexpr int kClimbThreshold = 300;      // feet per minute either way counted as level
constexpr int kHighestClimbRaw = 30000;   // above it the raw value is a descent

constexpr const char* kTcasLabels[offsets::kTrafficSlots] = {
    "Tcas01", "Tcas02", "Tcas03", "Tcas04", "Tcas05", "Tcas06", "Tcas07", "Tcas08",
    "Tcas09", "Tcas10", "Tcas11", "Tcas12", "Tcas13", "Tcas14", "Tcas15"};

// The slot's own reals are taken at their exact value.
std::string DegreesText(float degrees) { return FixedText(static_cast<double>(degrees), 13, 8); }

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
  int feetPerMinute = verticalSpeed;
  if (feetPerMinute > kHighestClimbRaw) feetPerMinute -= 65536;
  if (feetPerMinute > kClimbThreshold) return "1";
  if (feetPerMinute < -kClimbThreshold) return "2";
  return "0";
}

std::string CallSignText(const offsets::CallSign& bytes) {
  const std::string text = TrimText(std::string(bytes.data(), bytes.size()));
  if (text.empty()) return std::string(15, ' ');
  return PadRight(text, 15, ' ');
}

TrafficTexts TrafficSlotTexts(const TrafficSlotReads& slot) {
  if (slot.id == 0) {
    return {"   0.00000000", "   0.00000000", "00000", "0", std::string(15, 'X')};
  }
  return {DegreesText(slot.latitude), DegreesText(slot.longitude),
          PadLeft(DecText(RoundReal(static_cast<double>(slot.altitude))), 5, '0'),
          TrendDigit(slot.verticalSpeed), CallSignText(slot.callSign)};
}

std::vector<TrafficTexts> TrafficSlotTexts(const std::vector<TrafficSlotReads>& slots) {
  std::vector<TrafficTexts> texts;
  texts.reserve(slots.size());
  for (const TrafficSlotReads& slot : slots) texts.push_back(TrafficSlotTexts(slot));
  return texts;
}

void AddTrafficFields(PanelReply& reply, const std::vector<TrafficTexts>& traffic) {
  for (const TrafficTexts& slot : traffic) {
    reply.Field(slot.latitude).Field(slot.longitude).Field(slot.altitude).Field(slot.trend);
  }
  for (const TrafficTexts& slot : traffic) reply.Field(slot.callSign);
}

void LogTraffic(PanelReply& reply, const std::vector<TrafficTexts>& traffic) {
  for (size_t k = 0; k < traffic.size() && k < offsets::kTrafficSlots; ++k) {
    const TrafficTexts& slot = traffic[k];
    reply.Log(kTcasLabels[k], slot.callSign + slot.latitude + "/" + slot.longitude + "/" +
                                  slot.altitude + "/" + slot.trend);
  }
}

}  // namespace tavelor
