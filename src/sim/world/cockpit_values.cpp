// One table of values: their names, units and ranges (which `help` states and `set` enforces)
// and their encodings both ways. Signs are the cockpit's: nose up, right wing down, climbing,
// east and north positive; where the simulator counts the other way the encoding turns them.
#include "sim/world/cockpit_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "sim/world/encodings.h"
#include "simlink/offsets.h"

namespace tavelor::sim {

namespace {

namespace o = offsets;
using Parts = std::vector<double>;

// A plain decimal number, nothing around it, whatever the locale.
std::optional<double> Number(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::string Format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// Whether v is a whole number of 1/steps (a frequency on its raster).
bool OnSteps(double v, double steps) { return std::fabs(v * steps - std::round(v * steps)) < 1e-6; }

std::string BcdFrequencyText(uint16_t bcd) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  return std::string("1") + kHex[bcd >> 12] + kHex[bcd >> 8 & 15] + '.' + kHex[bcd >> 4 & 15] + kHex[bcd & 15];
}

std::string SetCom(OffsetMemory& m, Offset<int32_t> hertz, double megahertz) {
  if (!OnSteps(megahertz, 1000)) return "ERR a frequency in whole kilohertz";
  m.Put(hertz, static_cast<int32_t>(std::lround(megahertz * 1000)) * 1000);  // the BCD form follows
  return "";
}

// The BCD form, with the third decimal of the hertz form where that adds one.
std::string GetCom(const OffsetMemory& m, Offset<uint16_t> bcd, Offset<int32_t> hertz) {
  const std::string text = BcdFrequencyText(m.Get(bcd));
  const int32_t khz = m.Get(hertz) / 1000;
  if (khz % 10 != 0 && Format("%.2f", (khz - khz % 10) / 1000.0) == text) return Format("%.3f", khz / 1000.0);
  return text;
}

std::string SetNav(OffsetMemory& m, Offset<uint16_t> bcd, double megahertz) {
  if (!OnSteps(megahertz, 100)) return "ERR a frequency in hundredths of a MHz";
  m.Put(bcd, FrequencyBcd(megahertz));
  return "";
}

std::string SetAdf(OffsetMemory& m, double kilohertz) {
  if (!OnSteps(kilohertz, 10)) return "ERR a frequency in tenths of a kilohertz";
  const AdfWords words = AdfFrequency(static_cast<uint32_t>(std::lround(kilohertz * 10)));
  m.Put(o::kAdfFrequency, words.main);
  m.Put(o::kAdfExtended, words.extended);
  return "";
}

std::string GetAdf(const OffsetMemory& m) {
  const uint16_t extended = m.Get(o::kAdfExtended);
  return Format((extended & 0xFF) != 0 ? "%.1f" : "%.0f", AdfTenths(m.Get(o::kAdfFrequency), extended) / 10.0);
}

std::string SetTransponder(OffsetMemory& m, std::string_view text) {
  if (text.size() != 4 || text.find_first_not_of("01234567") != std::string_view::npos)
    return "ERR four digits from 0 to 7";
  uint16_t code = 0;
  for (char c : text) code = static_cast<uint16_t>(code << 4 | (c - '0'));
  m.Put(o::kTransponder, code);
  return "";
}

std::string GetTransponder(const OffsetMemory& m) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", m.Get(o::kTransponder));
  return text;
}

// Most values are one number written to one offset in its encoding.
template <auto kOffset, auto kEncode>
std::string PutEncoded(OffsetMemory& m, const Parts& v, std::string_view) {
  m.Put(kOffset, kEncode(v[0]));
  return "";
}

// A switch: 1 on, 0 off. A panel's command may write any digit; `set` only these two.
template <auto kOffset>
std::string PutSwitch(OffsetMemory& m, const Parts& v, std::string_view) {
  if (v[0] != 0 && v[0] != 1) return "ERR 0 (off) or 1 (on)";
  m.Put(kOffset, static_cast<typename decltype(kOffset)::Value>(v[0]));
  return "";
}

template <auto kOffset>
std::string GetWhole(const OffsetMemory& m) {
  return std::to_string(m.Get(kOffset));
}

double Same(double v) { return v; }
uint16_t Whole16(double v) { return static_cast<uint16_t>(std::lround(v)); }
uint16_t Tenths16(double v) { return static_cast<uint16_t>(std::lround(v * 10)); }
// Nose up and right wing down are positive in the cockpit; the simulator counts the other way.
int32_t TurnedAngle32(double degrees) { return Angle32(-degrees); }

struct Entry {
  CockpitValue value;
  // Writes the value, its parts already within their ranges; "" or "ERR " and why.
  std::string (*set)(OffsetMemory& m, const Parts& v, std::string_view text);
  std::string (*get)(const OffsetMemory& m);
  bool oneForAll = false;  // a single part sets every part
};

const std::vector<Entry>& Entries() {
  static const std::vector<Entry> entries = {
      {{"com1", "MHz", {{118, 136.99, 3}}},
       [](OffsetMemory& m, const Parts& v, std::string_view) { return SetCom(m, o::kCom1ActiveHz, v[0]); },
       [](const OffsetMemory& m) { return GetCom(m, o::kCom1Active, o::kCom1ActiveHz); }},
      {{"com2", "MHz", {{118, 136.99, 3}}},
       [](OffsetMemory& m, const Parts& v, std::string_view) { return SetCom(m, o::kCom2ActiveHz, v[0]); },
       [](const OffsetMemory& m) { return GetCom(m, o::kCom2Active, o::kCom2ActiveHz); }},
      {{"nav1", "MHz", {{108, 117.95, 2}}},
       [](OffsetMemory& m, const Parts& v, std::string_view) { return SetNav(m, o::kNav1Active, v[0]); },
       [](const OffsetMemory& m) { return BcdFrequencyText(m.Get(o::kNav1Active)); }},
      {{"nav2", "MHz", {{108, 117.95, 2}}},
       [](OffsetMemory& m, const Parts& v, std::string_view) { return SetNav(m, o::kNav2Active, v[0]); },
       [](const OffsetMemory& m) { return BcdFrequencyText(m.Get(o::kNav2Active)); }},
      {{"adf", "kHz", {{100, 1799.9, 1}}},
       [](OffsetMemory& m, const Parts& v, std::string_view) { return SetAdf(m, v[0]); }, GetAdf},
      {{"transponder", "four octal digits", {{0, 7777, -4}}},
       [](OffsetMemory& m, const Parts&, std::string_view text) { return SetTransponder(m, text); },
       GetTransponder},
      {{"altitude", "feet", {{0, 65535, 0}}},
       PutEncoded<o::kAltitudeFeet, Whole16>,
       [](const OffsetMemory& m) { return std::to_string(m.Get(o::kAltitudeFeet)); }},
      {{"heading", "degrees", {{0, 360, 0}}},
       PutEncoded<o::kHeading, Same>,
       [](const OffsetMemory& m) { return Format("%.2f", m.Get(o::kHeading)); }},
      {{"ias", "knots", {{0, 999, 0}}},
       PutEncoded<o::kIndicatedAirspeed, Knots128>,
       [](const OffsetMemory& m) { return Format("%.1f", KnotsOf128(m.Get(o::kIndicatedAirspeed))); }},
      {{"vs", "feet per minute, climbing positive", {{-20000, 20000, 0}}},
       PutEncoded<o::kVerticalSpeed, VerticalSpeed256>,
       [](const OffsetMemory& m) { return Format("%.0f", FeetPerMinuteOf256(m.Get(o::kVerticalSpeed))); }},
      {{"pitch", "degrees, nose up positive", {{-90, 90, 0}}},
       PutEncoded<o::kPitch, TurnedAngle32>,
       [](const OffsetMemory& m) { return Format("%.1f", -DegreesOf32(m.Get(o::kPitch)) + 0.0); }},
      {{"bank", "degrees, right wing down positive", {{-180, 180, 0}}},
       PutEncoded<o::kBank, TurnedAngle32>,
       [](const OffsetMemory& m) { return Format("%.1f", -DegreesOf32(m.Get(o::kBank)) + 0.0); }},
      {{"lat", "degrees, north positive", {{-90, 90, 0}}},
       PutEncoded<o::kLatitude, LatitudeUnits>,
       [](const OffsetMemory& m) { return Format("%.6f", LatitudeOf(m.Get(o::kLatitude))); }},
      {{"lon", "degrees, east positive", {{-180, 180, 0}}},
       PutEncoded<o::kLongitude, LongitudeUnits>,
       [](const OffsetMemory& m) { return Format("%.6f", LongitudeOf(m.Get(o::kLongitude))); }},
      {{"qnh", "hectopascals", {{800, 1200, 0}}},
       PutEncoded<o::kAltimeterSetting, Hpa16>,
       [](const OffsetMemory& m) { return Format("%.2f", HpaOf16(m.Get(o::kAltimeterSetting))); }},
      {{"oat", "degrees C", {{-99, 99, 0}}},
       PutEncoded<o::kOutsideAirTemp, Celsius256>,
       [](const OffsetMemory& m) { return Format("%.1f", CelsiusOf256(m.Get(o::kOutsideAirTemp))); }},
      {{"dme1", "nautical miles", {{0, 650, 1}}},
       PutEncoded<o::kDme1Distance, Tenths16>,
       [](const OffsetMemory& m) { return Format("%.1f", m.Get(o::kDme1Distance) / 10.0); }},
      {{"dme2", "nautical miles", {{0, 650, 1}}},
       PutEncoded<o::kDme2Distance, Tenths16>,
       [](const OffsetMemory& m) { return Format("%.1f", m.Get(o::kDme2Distance) / 10.0); }},
      {{"mach", "Mach number", {{0, 3, 3}}},
       PutEncoded<o::kMach, Mach20480>,
       [](const OffsetMemory& m) { return Format("%.3f", MachOf20480(m.Get(o::kMach))); }},
      {{"wind", "FROM/KNOTS, degrees and knots", {{0, 360, 0}, {0, 200, 0}}},
       [](OffsetMemory& m, const Parts& v, std::string_view) {
         m.Put(o::kWindDirection, Angle16(v[0]));
         m.Put(o::kWindSpeed, Whole16(v[1]));
         return std::string();
       },
       [](const OffsetMemory& m) {
         return Format("%.0f", DegreesOf16(m.Get(o::kWindDirection))) + "/" + std::to_string(m.Get(o::kWindSpeed));
       }},
      {{"fuel", "LEFT/RIGHT per cent of a full tank (one value: both)", {{0, 100, 0}, {0, 100, 0}}},
       [](OffsetMemory& m, const Parts& v, std::string_view) {
         m.Put(o::kLeftTankLevel, TankLevel(v[0] / 100));
         m.Put(o::kRightTankLevel, TankLevel(v[1] / 100));
         return std::string();
       },
       [](const OffsetMemory& m) {
         return Format("%.1f", TankFraction(m.Get(o::kLeftTankLevel)) * 100) + "/" +
                Format("%.1f", TankFraction(m.Get(o::kRightTankLevel)) * 100);
       },
       true},
      {{"rpm", "engine revolutions per minute", {{0, 3500, 0}}},
       PutEncoded<o::kEngineRpm, Same>,
       [](const OffsetMemory& m) { return Format("%.0f", m.Get(o::kEngineRpm)); }},
      // The autopilot's targets, named as the replies name the fields that show them.
      {{"ap_heading", "degrees, the heading bug", {{0, 360, 0}}},
       PutEncoded<o::kApHeading, Angle16>,
       [](const OffsetMemory& m) { return Format("%.0f", DegreesOf16(m.Get(o::kApHeading))); }},
      {{"ap_alt", "feet", {{0, 65535, 0}}},
       PutEncoded<o::kApAltitude, Metres65536>,
       [](const OffsetMemory& m) { return Format("%.1f", FeetOf65536(m.Get(o::kApAltitude))); }},
      // Beyond 8000 a panel reads a climb as a descent.
      {{"ap_vs", "feet per minute, climbing positive", {{-8000, 8000, 0}}},
       PutEncoded<o::kApVerticalSpeed, Signed16>,
       [](const OffsetMemory& m) { return std::to_string(static_cast<int16_t>(m.Get(o::kApVerticalSpeed))); }},
      {{"ap_ias", "knots", {{0, 999, 0}}}, PutEncoded<o::kApAirspeed, Whole16>, GetWhole<o::kApAirspeed>},
      {{"ap_mach", "Mach number", {{0, 3, 3}}},
       PutEncoded<o::kApMach, Mach65536>,
       [](const OffsetMemory& m) { return Format("%.3f", MachOf65536(m.Get(o::kApMach))); }},
      {{"nav1_course", "degrees, NAV1's course (OBS)", {{0, 360, 0}}},
       PutEncoded<o::kNav1Course, Whole16>, GetWhole<o::kNav1Course>},
      // Its switches, and the flight director's and the NAV/GPS selector beside them.
      {{"ap_master", "switch", {{0, 1, 0}}}, PutSwitch<o::kApMaster>, GetWhole<o::kApMaster>},
      {{"ap_heading_hold", "switch", {{0, 1, 0}}}, PutSwitch<o::kApHeadingHold>, GetWhole<o::kApHeadingHold>},
      {{"ap_nav_hold", "switch", {{0, 1, 0}}}, PutSwitch<o::kApNavHold>, GetWhole<o::kApNavHold>},
      {{"ap_altitude_hold", "switch", {{0, 1, 0}}}, PutSwitch<o::kApAltitudeHold>, GetWhole<o::kApAltitudeHold>},
      {{"ap_localiser_hold", "switch, the approach's", {{0, 1, 0}}},
       PutSwitch<o::kApLocaliserHold>, GetWhole<o::kApLocaliserHold>},
      {{"ap_glideslope_hold", "switch", {{0, 1, 0}}},
       PutSwitch<o::kApGlideslopeHold>, GetWhole<o::kApGlideslopeHold>},
      {{"ap_backcourse_hold", "switch", {{0, 1, 0}}},
       PutSwitch<o::kApBackCourseHold>, GetWhole<o::kApBackCourseHold>},
      {{"ap_airspeed_hold", "switch", {{0, 1, 0}}}, PutSwitch<o::kApAirspeedHold>, GetWhole<o::kApAirspeedHold>},
      {{"ap_mach_hold", "switch", {{0, 1, 0}}}, PutSwitch<o::kApMachHold>, GetWhole<o::kApMachHold>},
      {{"ap_autothrottle", "switch", {{0, 1, 0}}}, PutSwitch<o::kApAutothrottle>, GetWhole<o::kApAutothrottle>},
      {{"ap_yaw_damper", "switch", {{0, 1, 0}}}, PutSwitch<o::kApYawDamper>, GetWhole<o::kApYawDamper>},
      {{"ap_wing_leveller", "switch", {{0, 1, 0}}}, PutSwitch<o::kApWingLeveller>, GetWhole<o::kApWingLeveller>},
      {{"flight_director", "switch", {{0, 1, 0}}}, PutSwitch<o::kFlightDirector>, GetWhole<o::kFlightDirector>},
      {{"nav_gps", "what NAV hold follows: 0 NAV1, 1 GPS", {{0, 1, 0}}},
       PutSwitch<o::kNavGpsSelector>, GetWhole<o::kNavGpsSelector>},
  };
  return entries;
}

const Entry* Find(std::string_view name) {
  for (const Entry& entry : Entries())
    if (name == entry.value.name) return &entry;
  return nullptr;
}

// "118.000 to 136.990"; a negative `decimals` asks for that many digits, zero-filled.
std::string RangeText(const ValueRange& range) {
  const auto bound = [&](double v) {
    char text[32];
    if (range.decimals < 0) {
      std::snprintf(text, sizeof text, "%0*.0f", -range.decimals, v);
    } else {
      std::snprintf(text, sizeof text, "%.*f", range.decimals, v);
    }
    return std::string(text);
  };
  return bound(range.low) + " to " + bound(range.high);
}

std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> parts;
  for (size_t slash; (slash = text.find('/')) != std::string_view::npos; text.remove_prefix(slash + 1))
    parts.push_back(text.substr(0, slash));
  parts.push_back(text);
  return parts;
}

}  // namespace

const std::vector<CockpitValue>& CockpitValues() {
  static const std::vector<CockpitValue> values = [] {
    std::vector<CockpitValue> all;
    for (const Entry& entry : Entries()) all.push_back(entry.value);
    return all;
  }();
  return values;
}

std::string HelpLine(const CockpitValue& value) {
  const std::string name = value.name;
  std::string line = name + std::string(name.size() < 19 ? 19 - name.size() : 1, ' ') + value.unit;
  for (size_t i = 0; i < value.parts.size(); ++i) line += (i == 0 ? ", " : " / ") + RangeText(value.parts[i]);
  return line;
}

std::string SetCockpitValue(OffsetMemory& memory, std::string_view name, std::string_view text) {
  const Entry* entry = Find(name);
  if (!entry) return "ERR unknown value name (help lists them)";
  const std::vector<ValueRange>& ranges = entry->value.parts;
  std::vector<std::string_view> texts = Split(text);
  if (entry->oneForAll && texts.size() == 1) texts.assign(ranges.size(), texts[0]);
  if (texts.size() != ranges.size()) return "ERR " + std::to_string(ranges.size()) + " parts, joined by /";
  Parts values;
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::optional<double> value = Number(texts[i]);
    if (!value) return "ERR the value must be a plain decimal number";
    if (*value < ranges[i].low || *value > ranges[i].high) return "ERR from " + RangeText(ranges[i]);
    values.push_back(*value);
  }
  const std::string refused = entry->set(memory, values, text);
  return refused.empty() ? "OK" : refused;
}

std::string GetCockpitValue(const OffsetMemory& memory, std::string_view name) {
  const Entry* entry = Find(name);
  return entry ? "OK " + entry->get(memory) : "ERR unknown value name (help lists them)";
}

}  // namespace tavelor::sim
