// The seven autopilot switches that the HSI, PFD, PFDP and XRAD panels read one after the other
// and show as one field of digits: master, heading hold, NAV hold, altitude hold, localiser
// hold, glideslope hold and the NAV/GPS switch, in that order (FGP reads its switches in an
// order of its own, with others between them).
#pragma once

#include <cstdint>
#include <string>

#include "replies/field_forms.h"
#include "replies/panel_reply.h"
#include "simlink/offsets.h"

namespace tavelor {

class AutopilotSwitches {
 public:
  // Queues the seven reads: the members are made, and so read, in the order they are declared.
  explicit AutopilotSwitches(PanelReads& in)
      : master_(in.Read(offsets::kApMaster)),
        heading_(in.Read(offsets::kApHeadingHold)),
        nav_(in.Read(offsets::kApNavHold)),
        altitude_(in.Read(offsets::kApAltitudeHold)),
        localiser_(in.Read(offsets::kApLocaliserHold)),
        glideslope_(in.Read(offsets::kApGlideslopeHold)),
        navGps_(in.Read(offsets::kNavGpsSelector)) {}

  // After the exchange: "1000000" for the master alone.
  std::string Digits() const {
    return SwitchDigits({master_, heading_, nav_, altitude_, localiser_, glideslope_, navGps_});
  }

 private:
  const uint32_t& master_;
  const uint32_t& heading_;
  const uint32_t& nav_;
  const uint32_t& altitude_;
  const uint32_t& localiser_;
  const uint32_t& glideslope_;
  const uint32_t& navGps_;
};

}  // namespace tavelor
