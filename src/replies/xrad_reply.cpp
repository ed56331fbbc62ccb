#include "replies/xrad_reply.h"

#include <cstdint>

#include "replies/hsi_rules.h"
#include "replies/map_rules.h"
#include "replies/panel_reply.h"
#include "replies/radio_reply.h"
#include "replies/single_engine_rules.h"
#include "simlink/offsets.h"
#include "text/conversions.h"

namespace tavelor {

namespace {

// A COM frequency held as a whole number (hertz, or the kilohertz the COM commands write) as
// "MHz.kHz": the first three digits, ".", the next three. 118250000 and 118250 both give
// "118.250"; digits beyond the kilohertz are dropped, not rounded; 0 gives "0.".
std::string ComFrequencyText(int32_t raw) {
  const std::string digits = DecText(raw);
  return digits.substr(0, 3) + "." + (digits.size() > 3 ? digits.substr(3, 3) : "");
}

// The gyro heading in hundredths of a degree, at least five characters. Not the HSI's
// DegreesHundredthsText: this panel keeps only the low 32 bits of the rounded value, signed,
// so a heading beyond 2^31 hundredths wraps here where the HSI shows it in full.
std::string HeadingHundredthsText(double degrees) {
  return PaddedDec(NearestWhole(degrees * 100.0L), 5);
}

}  // namespace

std::string XradReply() {
  PanelReads in;
  const auto& audio = in.Read(offsets::kAudioSelector);
  const auto& com1a = in.Read(offsets::kCom1ActiveKhz);
  const auto& com1b = in.Read(offsets::kCom1StandbyKhz);
  const auto& com2a = in.Read(offsets::kCom2ActiveKhz);
  const auto& com2b = in.Read(offsets::kCom2StandbyKhz);
  const auto& nav1a = in.Read(offsets::kNav1Active);
  const auto& nav1b = in.Read(offsets::kNav1Standby);
  const auto& dme1 = in.Read(offsets::kDme1Distance);
  const auto& nav2a = in.Read(offsets::kNav2Active);
  const auto& nav2b = in.Read(offsets::kNav2Standby);
  const auto& dme2 = in.Read(offsets::kDme2Distance);
  const auto& adf = in.Read(offsets::kAdfFrequency);
  const auto& transponder = in.Read(offsets::kTransponder);
  const auto& apMaster = in.Read(offsets::kApMaster);
  const auto& apHeadingHold = in.Read(offsets::kApHeadingHold);
  const auto& apNavHold = in.Read(offsets::kApNavHold);
  const auto& apAltitudeHold = in.Read(offsets::kApAltitudeHold);
  const auto& apLocaliserHold = in.Read(offsets::kApLocaliserHold);
  const auto& apGlideslopeHold = in.Read(offsets::kApGlideslopeHold);
  const auto& navGps = in.Read(offsets::kNavGpsSelector);
  const auto& apAltitude = in.Read(offsets::kApAltitude);
  const auto& apVerticalSpeed = in.Read(offsets::kApVerticalSpeed);
  const auto& latitude = in.Read(offsets::kLatitude);
  const auto& longitude = in.Read(offsets::kLongitude);
  const auto& heading = in.Read(offsets::kHeading);
  const auto& avionics = in.Read(offsets::kAvionics);
  const auto& battery = in.Read(offsets::kBattery);
  const auto& magneticVariation = in.Read(offsets::kMagneticVariation);
  in.Process();  // a failed exchange leaves every value at zero, and the reply says so

  // 0, 1 or 2 switches on; logged after the variation although it comes before it on the line.
  const std::string aviBat = DecText(avionics + battery);

  PanelReply reply("- Datos Radio XRAD:-----------------");
  reply.Field("Audio", BitString(audio, 8))
      .Field("Com1a", ComFrequencyText(com1a))
      .Field("Com1b", ComFrequencyText(com1b))
      .Field("Com2a", ComFrequencyText(com2a))
      .Field("Com2b", ComFrequencyText(com2b))
      .Field("Nav1a", BcdFreqText(nav1a))
      .Field("Nav1b", BcdFreqText(nav1b))
      .Field("Dme1", DmeText(dme1))
      .Field("Nav2a", BcdFreqText(nav2a))
      .Field("Nav2b", BcdFreqText(nav2b))
      .Field("Dme2", DmeText(dme2))
      .Field("Adf", HexText(adf, 4))
      .Field("Trs", HexText(transponder, 4))
      .Field("Ap", ApSwitchesText({apMaster, apHeadingHold, apNavHold, apAltitudeHold,
                                   apLocaliserHold, apGlideslopeHold, navGps}))
      .Field("ApAlt", ApAltitudeText(apAltitude))
      .Field("ApVsp", ApVerticalSpeedText(apVerticalSpeed))
      .Field("Lat", LatitudeText(latitude))
      .Field("Lon", LongitudeText(longitude))
      .Field("Dir", HeadingHundredthsText(heading))
      .Field(aviBat)
      .Field("Mag", MagText(magneticVariation))
      .Log("Avi+Bat", aviBat);
  return reply.Finish();
}

}  // namespace tavelor
