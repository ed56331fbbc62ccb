// A light single parked on the apron with the battery on: enough real-looking state that every
// panel shows something sensible before anyone flies.
#include <cmath>

#include "sim/sim_peer.h"

namespace tavelor::sim {

namespace {

void WriteU8(OffsetMemory& m, uint32_t offset, uint8_t v) { m.Write(offset, 1, &v); }

void WriteI64(OffsetMemory& m, uint32_t offset, int64_t v) {
  uint8_t b[8];
  const uint64_t u = static_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
  m.Write(offset, 8, b);
}

}  // namespace

void LoadParkedAircraft(OffsetMemory& m) {
  // Radios: four BCD digits without the leading 1.
  m.WriteU16(0x034E, 0x1825);  // COM1 118.25
  m.WriteU16(0x311A, 0x2150);  // COM1 standby 121.50
  m.WriteU16(0x3118, 0x1910);  // COM2 119.10
  m.WriteU16(0x311C, 0x2485);  // COM2 standby 124.85
  m.WriteU16(0x0350, 0x1090);  // NAV1 110.90
  m.WriteU16(0x311E, 0x1390);  // NAV1 standby 113.90
  m.WriteU16(0x0352, 0x1130);  // NAV2 111.30
  m.WriteU16(0x3120, 0x0900);  // NAV2 standby 109.00
  m.WriteU16(0x034C, 0x0345);  // ADF 345
  m.WriteU16(0x0354, 0x7000);  // transponder 7000
  m.WriteU16(0x0300, 123);     // DME1 12.3 nm
  m.WriteU16(0x0306, 0);       // DME2 no station
  WriteU8(m, 0x3122, 0x90);    // audio: COM1 and NAV1 selected
  // (the COM frequencies' kilohertz form follows their BCD form)

  // Electrical and systems switches.
  WriteU8(m, 0x3102, 1);  // battery
  WriteU8(m, 0x3101, 1);  // alternator
  WriteU8(m, 0x3103, 0);  // avionics
  WriteU8(m, 0x3104, 0);  // fuel pump
  WriteU8(m, 0x029C, 0);  // pitot heat
  m.WriteU16(0x08B2, 0);  // engine 1 anti-ice
  m.WriteDouble(0x37F0, 1.0);  // cowl flaps
  m.WriteU16(0x0D0C, 0x0012);  // beacon and taxi lights
  m.WriteU32(0x0BEC, 16383);   // nose gear down
  m.WriteU32(0x0BDC, 0);       // flap lever up
  WriteU8(m, 0x0BFC, 0);       // flap handle position

  // Where and how it stands: 40.5 N, 3.75 W, heading 271.6, 1998 ft, standard pressure.
  const double lat = 40.5 / 90.0 * 10001750.0 * 65536.0 * 65536.0;
  const double lon = -3.75 / 360.0 * 65536.0 * 65536.0 * 65536.0 * 65536.0;
  WriteI64(m, 0x0560, static_cast<int64_t>(std::llround(lat)));
  WriteI64(m, 0x0568, static_cast<int64_t>(lon));
  m.WriteDouble(0x2B00, 271.6);         // gyro heading, degrees
  m.WriteU16(0x3324, 1998);             // altitude, feet
  m.WriteU16(0x0330, 1013 * 16);        // altimeter setting, millibars x 16
  m.WriteU16(0x02A0, 65536 - 182);      // magnetic variation 1 degree west
  m.WriteU16(0x0E90, 5);                // wind 5 kt
  m.WriteU16(0x0E92, 270 * 65536 / 360);  // from 270 degrees
}

}  // namespace tavelor::sim
