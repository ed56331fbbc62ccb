// The airborne traffic the map panels draw: the first fifteen slots of the simulator's traffic
// table, passed through slot by slot (no sorting, no filtering) for the client to place.
// Both maps carry them as fields 10 to 84 (replies/tables/traffic.inc).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "replies/panel_reply.h"
#include "simlink/offsets.h"

namespace tavelor {

// One slot's values, read in place: they hold the exchange's answer once it has been made.
struct TrafficSlotReads {
  const uint32_t& id;  // 0: the slot is empty
  const float& latitude;
  const float& longitude;
  const float& altitude;
  const uint16_t& verticalSpeed;
  const offsets::CallSign& callSign;
};

// One slot's texts as the line carries them.
struct TrafficTexts {
  std::string latitude;   // degrees, 13 characters, 8 decimals
  std::string longitude;  // degrees, 13 characters, 8 decimals
  std::string altitude;   // feet, at least 5 digits
  std::string trend;      // "1" climbing, "2" descending, "0" level
  std::string callSign;   // 15 characters
};

// Queues the six reads of each slot, slot 1 first.
std::vector<TrafficSlotReads> ReadTraffic(PanelReads& in);

// "1" above 300 feet per minute, "2" below -300, "0" in between; raw values above 30000 are
// descents in two's complement.
std::string TrendDigit(uint16_t verticalSpeed);

// Each slot's texts, or the fixed texts of an empty one. A slot altitude that cannot be
// rounded (not a number, infinite, beyond the 64-bit range) ends the request.
std::vector<TrafficTexts> TrafficSlotTexts(const std::vector<TrafficSlotReads>& slots);

// One debug line per slot, "- Tcas01:" to "- Tcas15:": the call sign runs straight into the
// latitude, then longitude, altitude and trend after "/".
void LogTraffic(PanelReply& reply);

}  // namespace tavelor
