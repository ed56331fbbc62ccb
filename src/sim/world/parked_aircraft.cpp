// A light single parked on the apron with the battery on: enough real-looking state that every
// panel shows something sensible before anyone flies.
#include "sim/world/parked_aircraft.h"

#include "sim/world/encodings.h"
#include "simlink/offsets.h"

namespace tavelor::sim {

void LoadParkedAircraft(OffsetMemory& m) {
  namespace o = offsets;
  // Radios: four BCD digits without the leading 1 (the COM frequencies' hertz form follows).
  m.Put(o::kCom1Active, 0x1825);   // 118.25
  m.Put(o::kCom1Standby, 0x2150);  // 121.50
  m.Put(o::kCom2Active, 0x1910);   // 119.10
  m.Put(o::kCom2Standby, 0x2485);  // 124.85
  m.Put(o::kNav1Active, 0x1090);   // 110.90
  m.Put(o::kNav1Standby, 0x1390);  // 113.90
  m.Put(o::kNav2Active, 0x1130);   // 111.30
  m.Put(o::kNav2Standby, 0x0900);  // 109.00
  m.Put(o::kAdfFrequency, 0x0345);  // 345 kHz
  m.Put(o::kTransponder, 0x7000);
  m.Put(o::kDme1Distance, 123);  // 12.3 nm
  m.Put(o::kDme2Distance, 0);    // no station
  m.Put(o::kAudioSelector, 0x90);  // COM1 and NAV1 selected

  // Electrical and systems switches.
  m.Put(o::kBattery, 1);
  m.Put(o::kAlternator, 1);
  m.Put(o::kAvionics, 0);
  m.Put(o::kFuelPump, 0);
  m.Put(o::kPitotHeat, 0);
  m.Put(o::kAntiIce[0], 0);
  m.Put(o::kCowlFlaps[0], 1.0);
  m.Put(o::kLights, 0x0012);  // beacon and taxi lights
  m.Put(o::kNoseGear, o::kGearDown);
  m.Put(o::kFlapLever, 0);
  m.Put(o::kFlapHandle, 0);

  // Where and how it stands: 40.5 N, 3.75 W, heading 271.6, 1998 ft, standard pressure.
  m.Put(o::kLatitude, LatitudeUnits(40.5));
  m.Put(o::kLongitude, LongitudeUnits(-3.75));
  m.Put(o::kHeading, 271.6);  // gyro heading, degrees
  m.Put(o::kAltitudeFeet, 1998);
  m.Put(o::kAltimeterSetting, Hpa16(1013));
  m.Put(o::kMagneticVariation, Angle16(-1));  // 1 degree west
  m.Put(o::kWindSpeed, 5);
  m.Put(o::kWindDirection, Angle16(270));

  // The autopilot off and set up as for the departure: the bug on the runway's heading, the
  // altitude the clearance gives, the climb's rate and speed.
  m.Put(o::kApHeading, Angle16(270));
  m.Put(o::kApAltitude, Metres65536(5500));
  m.Put(o::kApVerticalSpeed, Signed16(700));
  m.Put(o::kApAirspeed, uint16_t{80});
}

}  // namespace tavelor::sim
