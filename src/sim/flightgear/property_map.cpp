#include "sim/flightgear/property_map.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>

#include "sim/world/encodings.h"
#include "simlink/offsets.h"

namespace tavelor::sim::flightgear {

namespace {

namespace o = offsets;

template <typename T>
void Store(uint8_t* bytes, T value) {
  std::memcpy(bytes, &value, sizeof value);
}
template <typename T>
T Load(const OffsetMemory& m, uint32_t offset) {
  uint8_t bytes[sizeof(T)];
  m.Read(offset, sizeof bytes, bytes);
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// Numbers that fit the field they go to: a NaN or a value out of range never reaches a cast.
double Finite(const PropertyValue& v) { return v.text || !std::isfinite(v.number) ? 0 : v.number; }
int32_t Whole32(double v) { return static_cast<int32_t>(std::clamp(std::round(v), -2147483648.0, 2147483647.0)); }
uint16_t Whole16(double v) { return static_cast<uint16_t>(std::clamp(std::round(v), 0.0, 65535.0)); }
double Within(double v, double lowest, double highest) { return std::clamp(v, lowest, highest); }

void Text(const PropertyValue& v, uint8_t* bytes, size_t size) {
  std::memset(bytes, 0, size);
  const std::string& text = v.text ? v.string : std::string();
  std::memcpy(bytes, text.data(), std::min(text.size(), size));
}

// To the hundredth: a whole degree a panel sets goes out as that degree, not 122.997.
std::optional<double> Degrees16(const OffsetMemory& m, uint32_t offset, int) {
  return std::round(DegreesOf16(Load<uint16_t>(m, offset)) * 100) / 100;
}

// The seconds of the day, as the clock's three bytes.
uint8_t DayPart(const PropertyValue& v, int divisor, int modulo) {
  const auto seconds = static_cast<long>(Within(Finite(v), 0, 86399));
  return static_cast<uint8_t>(seconds / divisor % modulo);
}

const std::vector<Conversion> kConversions = {
    {"latitude", 8, "degrees, north positive; the simulator's 64-bit latitude", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, LatitudeUnits(Within(Finite(v), -90, 90))); }, nullptr},
    {"longitude", 8, "degrees, east positive; the simulator's 64-bit longitude", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, LongitudeUnits(Within(Finite(v), -180, 180))); }, nullptr},
    {"double", 8, "the number as it is, a 64-bit real", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Finite(v)); },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> { return Load<double>(m, offset); }},
    {"angle16", 2, "degrees; 65536 to the turn", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Angle16(Finite(v))); }, Degrees16},
    {"angle32_turned", 4, "degrees, nose up or right wing down positive; 2^32 to the turn, the other way round", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Angle32(-Within(Finite(v), -180, 180))); }, nullptr},
    {"feet16", 2, "feet; the low 16 bits of the whole feet", false,
     [](const PropertyValue& v, uint8_t* b, int) {
       Store(b, static_cast<uint16_t>(static_cast<uint32_t>(Whole32(Within(Finite(v), -1e6, 1e6)))));
     },
     nullptr},
    {"height_metres65536", 4, "feet above the ground; metres x 65536, never below 0", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, static_cast<uint32_t>(Metres65536(Within(Finite(v), 0, 60000)))); },
     nullptr},
    {"altitude_metres65536", 4, "feet; metres x 65536", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Metres65536(Within(Finite(v), -2000, 100000))); },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> {
       return std::round(FeetOf65536(Load<int32_t>(m, offset)));
     }},
    {"knots128", 4, "knots; knots x 128", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Knots128(Within(Finite(v), -1000, 5000))); },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> { return KnotsOf128(Load<int32_t>(m, offset)); }},
    {"ground_speed65536", 4, "knots; metres per second x 65536", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, GroundSpeed65536(Within(Finite(v), 0, 5000))); }, nullptr},
    {"vertical_speed256", 4, "feet per minute; metres per second x 256", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, VerticalSpeed256(Within(Finite(v), -60000, 60000))); }, nullptr},
    {"mach20480", 2, "Mach number; Mach x 20480", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Mach20480(Within(Finite(v), 0, 3))); }, nullptr},
    {"hpa16", 2, "hectopascals; hectopascals x 16", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Hpa16(Within(Finite(v), 0, 4000))); },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> { return HpaOf16(Load<uint16_t>(m, offset)); }},
    {"celsius256", 2, "degrees C; degrees C x 256, signed", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Celsius256(Within(Finite(v), -120, 120))); }, nullptr},
    {"signed8", 1, "a number; times N, a signed byte (a needle: -1 to 1 times 127)", true,
     [](const PropertyValue& v, uint8_t* b, int n) { Store(b, static_cast<int8_t>(Within(std::round(Finite(v) * n), -127, 127))); },
     nullptr},
    {"signed16", 2, "a number; times N, 16 bits two's complement", true,
     [](const PropertyValue& v, uint8_t* b, int n) { Store(b, Signed16(Within(Finite(v) * n, -32768, 32767))); },
     [](const OffsetMemory& m, uint32_t offset, int n) -> std::optional<double> {
       return static_cast<int16_t>(Load<uint16_t>(m, offset)) / static_cast<double>(n);
     }},
    {"unsigned16", 2, "a number; times N, 16 bits, 0 to 65535", true,
     [](const PropertyValue& v, uint8_t* b, int n) { Store(b, Whole16(Finite(v) * n)); },
     [](const OffsetMemory& m, uint32_t offset, int n) -> std::optional<double> {
       return Load<uint16_t>(m, offset) / static_cast<double>(n);
     }},
    {"whole32", 4, "a number; times N, 32 bits signed (a lever: 0 to 1 times 16383)", true,
     [](const PropertyValue& v, uint8_t* b, int n) { Store(b, Whole32(Finite(v) * n)); },
     [](const OffsetMemory& m, uint32_t offset, int n) -> std::optional<double> {
       return Load<int32_t>(m, offset) / static_cast<double>(n);
     }},
    {"switch8", 1, "true or false (any number but 0 is true); 1 or 0 in a byte", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, static_cast<uint8_t>(Finite(v) != 0)); },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> { return Load<uint8_t>(m, offset) != 0; }},
    {"switch16", 2, "true or false; 1 or 0 in 16 bits", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, static_cast<uint16_t>(Finite(v) != 0)); },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> { return Load<uint16_t>(m, offset) != 0; }},
    {"switch32", 4, "true or false; 1 or 0 in 32 bits", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, static_cast<uint32_t>(Finite(v) != 0)); },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> { return Load<uint32_t>(m, offset) != 0; }},
    {"bit", 2, "true or false (a brightness: above 0 is on); bit N of 16, the others kept", true,
     [](const PropertyValue& v, uint8_t* b, int n) {
       uint16_t word;
       std::memcpy(&word, b, sizeof word);
       const auto mask = static_cast<uint16_t>(1u << (n & 15));
       Store(b, static_cast<uint16_t>(Finite(v) > 0 ? word | mask : word & ~mask));
     },
     [](const OffsetMemory& m, uint32_t offset, int n) -> std::optional<double> {
       return (Load<uint16_t>(m, offset) >> (n & 15) & 1) != 0;
     }},
    {"to_flag", 1, "true or false; the TO/FROM byte's 1 (TO) set or, when it was TO, cleared", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, static_cast<uint8_t>(Finite(v) != 0 ? 1 : b[0] == 1 ? 0 : b[0])); },
     nullptr},
    {"from_flag", 1, "true or false; the TO/FROM byte's 2 (FROM) set or, when it was FROM, cleared", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, static_cast<uint8_t>(Finite(v) != 0 ? 2 : b[0] == 2 ? 0 : b[0])); },
     nullptr},
    {"zero_unless", 4, "true or false; false empties the 32 bits (a traffic slot's id), true leaves them", false,
     [](const PropertyValue& v, uint8_t* b, int) {
       if (Finite(v) == 0) Store(b, uint32_t{0});
     },
     nullptr},
    {"handle", 1, "0 to 1; the handle's position number of N steps", true,
     [](const PropertyValue& v, uint8_t* b, int n) { Store(b, static_cast<uint8_t>(std::round(Within(Finite(v), 0, 1) * n))); },
     [](const OffsetMemory& m, uint32_t offset, int n) -> std::optional<double> {
       return std::min(1.0, Load<uint8_t>(m, offset) / static_cast<double>(n));
     }},
    {"tank_level", 4, "0 to 1 of a full tank; 8388608 at full", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, TankLevel(Within(Finite(v), 0, 1))); }, nullptr},
    {"oil_temperature_f", 2, "degrees F; the gauge's word, 16384 at 140 degrees C", false,
     [](const PropertyValue& v, uint8_t* b, int) {
       Store(b, GaugeWord(Within((Finite(v) - 32) / 1.8, 0, 140), units::kOilTemperatureFullScale));
     },
     nullptr},
    {"oil_pressure_psi", 2, "psi; the gauge's word, 16384 at 55 psi", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, GaugeWord(Within(Finite(v), 0, 55), units::kOilPressureFullScale)); },
     nullptr},
    {"egt_f", 2, "degrees F; the gauge's word, 16384 at 860 degrees C", false,
     [](const PropertyValue& v, uint8_t* b, int) {
       Store(b, GaugeWord(Within((Finite(v) - 32) / 1.8, 0, 860), units::kEgtFullScale));
     },
     nullptr},
    {"inhg1024", 2, "inches of mercury; times 1024", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Whole16(Finite(v) * units::kInHg1024)); }, nullptr},
    {"com_hertz", 4, "MHz; whole hertz (the BCD form at the COM radio's other offset follows)", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Whole32(Within(Finite(v), 0, 199.999) * 1000) * 1000); },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> { return Load<int32_t>(m, offset) / 1e6; }},
    {"nav_bcd", 2, "MHz; four BCD digits without the leading 1 (110.90 is 0x1090)", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, FrequencyBcd(Within(Finite(v), 100, 199.99))); },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> {
       const auto bcd = Load<uint16_t>(m, offset);
       return IsBcd(bcd) ? std::optional<double>(MegahertzOfBcd(bcd)) : std::nullopt;
     }},
    {"adf_main", 2, "kHz; the ADF's three BCD digits (with adf_extended at 0356 beside it)", false,
     [](const PropertyValue& v, uint8_t* b, int) {
       Store(b, AdfFrequency(static_cast<uint32_t>(std::round(Within(Finite(v), 0, 9999.9) * 10))).main);
     },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> {
       return AdfTenths(Load<uint16_t>(m, offset), m.Get(offsets::kAdfExtended)) / 10.0;
     }},
    {"adf_extended", 2, "kHz; the ADF's thousands digit and tenths", false,
     [](const PropertyValue& v, uint8_t* b, int) {
       Store(b, AdfFrequency(static_cast<uint32_t>(std::round(Within(Finite(v), 0, 9999.9) * 10))).extended);
     },
     nullptr},
    {"squawk", 2, "the code as a number, 7000; four digits, a hexadecimal digit each (0x7000)", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Bcd(static_cast<unsigned>(Within(Finite(v), 0, 7777)))); },
     [](const OffsetMemory& m, uint32_t offset, int) -> std::optional<double> { return BcdValue(Load<uint16_t>(m, offset)); }},
    {"metres_nm10", 2, "metres; nautical miles x 10", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Whole16(Finite(v) / units::kMetresPerNauticalMile * 10)); }, nullptr},
    {"nm_metres", 8, "nautical miles (below 0: none); metres, a 64-bit real", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, std::max(0.0, Finite(v)) * units::kMetresPerNauticalMile); }, nullptr},
    {"radians", 8, "degrees; radians, a 64-bit real", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Radians(Finite(v))); }, nullptr},
    {"float", 4, "the number; a 32-bit real", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, static_cast<float>(Within(Finite(v), -1e30, 1e30))); }, nullptr},
    {"fps_fpm16", 2, "feet per second; feet per minute, 16 bits two's complement", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, Signed16(Within(Finite(v) * 60, -32768, 32767))); }, nullptr},
    {"ident", 6, "a text; its first 6 characters, zeros after", false,
     [](const PropertyValue& v, uint8_t* b, int) { Text(v, b, 6); }, nullptr},
    {"call_sign", 15, "a text; its first 15 characters, zeros after", false,
     [](const PropertyValue& v, uint8_t* b, int) { Text(v, b, 15); }, nullptr},
    {"byte", 1, "a whole number, 0 to 255", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, static_cast<uint8_t>(Within(std::round(Finite(v)), 0, 255))); },
     nullptr},
    {"day_hour", 1, "seconds of the day; its hour", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, DayPart(v, 3600, 24)); }, nullptr},
    {"day_minute", 1, "seconds of the day; its minute", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, DayPart(v, 60, 60)); }, nullptr},
    {"day_second", 1, "seconds of the day; its second", false,
     [](const PropertyValue& v, uint8_t* b, int) { Store(b, DayPart(v, 1, 60)); }, nullptr},
};

// Every offset a row may name, with the bytes it holds: the stand-in's named offsets, and no
// other (the link's handshake among the ones left out).
std::map<uint32_t, uint32_t> KnownOffsets() {
  std::map<uint32_t, uint32_t> known;
  const auto add = [&known](auto offset) { known[offset.address] = sizeof(typename decltype(offset)::Value); };
  add(o::kLocalHour), add(o::kLocalMinute), add(o::kLocalSecond), add(o::kUtcHour), add(o::kUtcMinute);
  add(o::kLatitude), add(o::kLongitude), add(o::kPitch), add(o::kBank), add(o::kHeading), add(o::kMagneticVariation);
  add(o::kAltitudeFeet), add(o::kRadioAltitude), add(o::kTurnBall), add(o::kTurnRate);
  add(o::kGroundSpeed), add(o::kTrueAirspeed), add(o::kIndicatedAirspeed), add(o::kBarberPoleSpeed);
  add(o::kVerticalSpeed), add(o::kMach), add(o::kAce);
  add(o::kAltimeterSetting), add(o::kOutsideAirTemp), add(o::kWindSpeed), add(o::kWindDirection);
  add(o::kAlternator), add(o::kBattery), add(o::kAvionics), add(o::kFuelPump), add(o::kPitotHeat), add(o::kLights);
  for (const auto& offset : o::kAntiIce) add(offset);
  for (const auto& offset : o::kCowlFlaps) add(offset);
  add(o::kGearLever), add(o::kNoseGear), add(o::kFlapLever), add(o::kFlapHandle), add(o::kElevatorTrim);
  add(o::kMagnetos), add(o::kEngineRpm), add(o::kFuelFlow), add(o::kOilTemperature), add(o::kOilPressure);
  add(o::kExhaustGasTemp), add(o::kManifoldPressure), add(o::kCylinderHeadTemp), add(o::kFuelPressure);
  add(o::kSuction), add(o::kLeftTankLevel), add(o::kRightTankLevel), add(o::kAmmeter), add(o::kBusVoltage);
  add(o::kCom1Active), add(o::kCom1Standby), add(o::kCom2Active), add(o::kCom2Standby), add(o::kNav1Active);
  add(o::kNav1Standby), add(o::kNav2Active), add(o::kNav2Standby), add(o::kCom1ActiveHz), add(o::kCom1StandbyHz);
  add(o::kCom2ActiveHz), add(o::kCom2StandbyHz), add(o::kAdfFrequency), add(o::kAdfExtended), add(o::kTransponder);
  add(o::kAudioSelector), add(o::kDme1Distance), add(o::kDme1Aux), add(o::kDme2Distance), add(o::kDme2Aux);
  add(o::kNav1Needle), add(o::kNav1Glideslope), add(o::kNav1ToFrom), add(o::kNav1Ils), add(o::kNav1Course);
  add(o::kNav1Radial), add(o::kNav2Localiser), add(o::kNav2ToFrom), add(o::kVor2), add(o::kNav2Obs), add(o::kNav2Radial);
  add(o::kAdfBearing), add(o::kAdfCard), add(o::kAdfSignal), add(o::kGyroDrift), add(o::kNav1Ident), add(o::kNav2Ident);
  add(o::kAdfIdent), add(o::kMarker1), add(o::kMarker2), add(o::kMarker3);
  add(o::kGpsNextId), add(o::kGpsDistance), add(o::kGpsTimeToGo), add(o::kGpsCourse), add(o::kGpsCrossTrack);
  add(o::kNavGpsSelector);
  add(o::kApMaster), add(o::kApWingLeveller), add(o::kApNavHold), add(o::kApHeadingHold), add(o::kApAltitudeHold);
  add(o::kApAirspeedHold), add(o::kApMachHold), add(o::kApGlideslopeHold), add(o::kApLocaliserHold);
  add(o::kApBackCourseHold), add(o::kApYawDamper), add(o::kApAutothrottle), add(o::kFlightDirector);
  add(o::kFlightDirectorValue1), add(o::kFlightDirectorValue2), add(o::kApHeading), add(o::kApAltitude);
  add(o::kApAirspeed), add(o::kApMach), add(o::kApVerticalSpeed);
  for (int slot = 1; slot <= o::kTrafficSlots; ++slot) {
    const o::TrafficSlot t = o::Traffic(slot);
    add(t.id), add(t.latitude), add(t.longitude), add(t.altitude), add(t.verticalSpeed), add(t.callSign);
  }
  return known;
}

std::string Hex4(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

// FlightGear's property paths: a slash, then names of letters, digits, - _ . with an index in
// brackets where there are several.
bool GoodProperty(std::string_view path) {
  if (path.size() < 2 || path.size() > 200 || path[0] != '/' || path.back() == '/') return false;
  return path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_./[]") ==
             std::string_view::npos &&
         path.find("//") == std::string_view::npos;
}

std::string ConversionNames() {
  std::string names;
  for (const Conversion& c : kConversions) names += (names.empty() ? "" : ", ") + std::string(c.name) + (c.argument ? ":N" : "");
  return names;
}

// One row's words, or why not.
std::string ReadRow(const std::vector<std::string>& words, const std::map<uint32_t, uint32_t>& known, MapRow* row) {
  if (words.size() != 4) {
    return "a row is PROPERTY OFFSET CONVERSION WAY, four words; this one has " + std::to_string(words.size());
  }
  if (!GoodProperty(words[0])) return "'" + words[0] + "' is no FlightGear property: a path such as /orientation/heading-deg";
  row->property = words[0];
  std::string_view offset = words[1];
  if (offset.size() > 2 && (offset.substr(0, 2) == "0x" || offset.substr(0, 2) == "0X")) offset.remove_prefix(2);
  const auto [end, error] = std::from_chars(offset.data(), offset.data() + offset.size(), row->offset, 16);
  if (offset.empty() || error != std::errc() || end != offset.data() + offset.size()) {
    return "'" + words[1] + "' is no offset: four hexadecimal digits, such as 0BDC";
  }
  const auto found = known.find(row->offset);
  if (found == known.end()) return "unknown offset " + Hex4(row->offset) + ": not one of the stand-in's offsets";
  const std::string& name = words[2];
  const std::string base = name.substr(0, name.find(':'));
  const auto conversion = std::find_if(kConversions.begin(), kConversions.end(),
                                       [&](const Conversion& c) { return base == c.name; });
  if (conversion == kConversions.end()) return "unknown conversion '" + name + "'; the conversions are " + ConversionNames();
  row->conversion = &*conversion;
  const size_t colon = name.find(':');
  if (conversion->argument) {
    const char* from = colon == std::string::npos ? nullptr : name.data() + colon + 1;
    const auto [argEnd, argError] = from ? std::from_chars(from, name.data() + name.size(), row->argument)
                                         : std::from_chars_result{nullptr, std::errc::invalid_argument};
    if (!from || argError != std::errc() || argEnd != name.data() + name.size()) {
      return "conversion '" + base + "' needs a whole number after a colon, such as " + base + ":5";
    }
    // A bit of 16; any other argument scales, and divides on the way out.
    const bool bit = base == "bit";
    if (bit ? row->argument < 0 || row->argument > 15 : row->argument == 0 || std::abs(row->argument) > 1000000) {
      return "conversion '" + base + "' takes " + (bit ? "a bit from 0 to 15" : "a factor other than 0, up to 1000000");
    }
  } else if (colon != std::string::npos) {
    return "conversion '" + base + "' takes nothing after it";
  }
  if (found->second != conversion->size) {
    return "offset " + Hex4(row->offset) + " holds " + std::to_string(found->second) + " bytes; conversion '" + base +
           "' writes " + std::to_string(conversion->size);
  }
  if (words[3] == "in") {
    row->way = Way::kIn;
  } else if (words[3] == "out") {
    row->way = Way::kOut;
  } else if (words[3] == "both") {
    row->way = Way::kBoth;
  } else {
    return "'" + words[3] + "' is no way: in (FlightGear to the offset), out (the offset to FlightGear) or both";
  }
  if (row->Out() && !conversion->out) return "conversion '" + base + "' goes one way only: in";
  return "";
}

}  // namespace

const std::vector<Conversion>& Conversions() { return kConversions; }

std::string_view BuiltInMapText() {
  static constexpr std::string_view kText =
#include "sim/flightgear/builtin_map.inc"
      ;
  return kText;
}

std::string ReadMapRows(std::string_view text, const std::string& name, std::vector<MapRow>* rows) {
  static const std::map<uint32_t, uint32_t> known = KnownOffsets();
  std::istringstream lines{std::string(text)};
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty()) continue;
    MapRow row;
    row.where = name + ", line " + std::to_string(number);
    if (const std::string problem = ReadRow(words, known, &row); !problem.empty()) return row.where + ": " + problem;
    rows->push_back(std::move(row));
  }
  return "";
}

std::string BuildPropertyMap(const std::string& userFile, PropertyMap* map) {
  std::vector<MapRow> rows;
  if (std::string problem = ReadMapRows(BuiltInMapText(), "the built-in table", &rows); !problem.empty()) return problem;
  if (!userFile.empty()) {
    std::ifstream file(userFile, std::ios::binary);
    // A map is a few hundred lines: a file far larger than that is not one. An empty one adds
    // nothing.
    constexpr size_t kLargest = 1 << 20;
    std::string text(kLargest + 1, '\0');
    if (file) file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (!file && !file.eof()) return userFile + ": cannot be read as a map file";
    text.resize(static_cast<size_t>(file.gcount()));
    if (text.size() > kLargest) return userFile + ": larger than 1 MiB, which no map file is";
    std::vector<MapRow> user;
    if (std::string problem = ReadMapRows(text, userFile, &user); !problem.empty()) return problem;
    for (const MapRow& row : user) {
      std::erase_if(rows, [&](const MapRow& r) { return r.offset == row.offset && r.where.rfind("the built-in", 0) == 0; });
    }
    rows.insert(rows.end(), user.begin(), user.end());
  }
  map->rows = std::move(rows);
  map->properties.clear();
  map->propertyOf.clear();
  std::map<std::string, size_t> index;
  for (const MapRow& row : map->rows) {
    const auto [at, added] = index.emplace(row.property, map->properties.size());
    if (added) map->properties.push_back(row.property);
    map->propertyOf.push_back(at->second);
  }
  return "";
}

std::string MapText(const PropertyMap& map) {
  std::ostringstream out;
  out << "# The conversions: name (:N takes a whole number), the bytes written at the row's offset,\n"
         "# FlightGear's side and the offset's\n";
  for (const Conversion& c : kConversions) {
    out << "#   " << std::left << std::setw(22) << (std::string(c.name) + (c.argument ? ":N" : "")) << std::setw(3)
        << c.size << c.meaning << (c.out ? "" : " (in only)") << "\n";
  }
  out << "#\n# property" << std::string(55, ' ') << "offset  conversion              way   # from\n";
  for (const MapRow& row : map.rows) {
    const std::string conversion =
        std::string(row.conversion->name) + (row.conversion->argument ? ":" + std::to_string(row.argument) : "");
    out << std::left << std::setw(64) << row.property << " " << std::setw(8) << Hex4(row.offset) << std::setw(24)
        << conversion << std::setw(6) << (row.way == Way::kIn ? "in" : row.way == Way::kOut ? "out" : "both") << "# "
        << row.where << "\n";
  }
  return out.str();
}

}  // namespace tavelor::sim::flightgear
