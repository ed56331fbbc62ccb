#include "sim/cockpit_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "simlink/offsets.h"
#include "simlink/units.h"

namespace tavelor::sim {

namespace {

constexpr double kFeetPerMetre = static_cast<double>(units::kFeetPerMetre);
constexpr long double kTwoPow32 = 4294967296.0L;
constexpr long double kTwoPow64 = kTwoPow32 * kTwoPow32;
constexpr double kLatitudeUnitsPerDegree = 10001750.0 / 90.0;  // times 2^32

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

// Frequencies keep four BCD digits without the leading 1: 118.50 is 0x1850.
std::optional<uint16_t> BcdFrequency(double megahertz) {
  const long hundredths = std::lround(megahertz * 100);
  if (hundredths < 10000 || hundredths > 19999) return std::nullopt;
  const long digits = hundredths - 10000;
  return static_cast<uint16_t>((digits / 1000) << 12 | (digits / 100 % 10) << 8 |
                               (digits / 10 % 10) << 4 | digits % 10);
}

std::string BcdFrequencyText(uint16_t bcd) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "1";
  text += kHex[bcd >> 12];
  text += kHex[bcd >> 8 & 15];
  text += '.';
  text += kHex[bcd >> 4 & 15];
  text += kHex[bcd & 15];
  return text;
}

std::string HexDigits(uint16_t value, int digits) {
  char text[8];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

struct Radio {
  const char* name;
  Offset<uint16_t> bcd;
  std::optional<Offset<int32_t>> kilohertz;  // the COM radios keep both forms
};

const Radio kRadios[] = {
    {"com1", offsets::kCom1Active, offsets::kCom1ActiveKhz},
    {"com2", offsets::kCom2Active, offsets::kCom2ActiveKhz},
    {"nav1", offsets::kNav1Active, std::nullopt},
    {"nav2", offsets::kNav2Active, std::nullopt},
};

const Radio* FindRadio(std::string_view name) {
  for (const Radio& radio : kRadios)
    if (name == radio.name) return &radio;
  return nullptr;
}

}  // namespace

const std::vector<CockpitValue>& CockpitValues() {
  static const std::vector<CockpitValue> values = {
      {"com1", "MHz, 118.00 to 136.99"}, {"com2", "MHz"},
      {"nav1", "MHz, 108.00 to 117.95"}, {"nav2", "MHz"},
      {"adf", "kHz, 0 to 999"},          {"transponder", "four digits 0 to 7"},
      {"altitude", "feet, 0 to 65535"},  {"heading", "degrees, 0 to 360"},
      {"ias", "knots"},                  {"vs", "feet per minute"},
      {"lat", "degrees, north positive"}, {"lon", "degrees, east positive"},
      {"qnh", "hectopascals"},
  };
  return values;
}

std::string SetCockpitValue(OffsetMemory& memory, std::string_view name, std::string_view text) {
  const std::optional<double> value = Number(text);
  if (!value) return "ERR the value must be a plain decimal number";
  const double v = *value;
  if (const Radio* radio = FindRadio(name)) {
    const std::optional<uint16_t> bcd = BcdFrequency(v);
    if (!bcd) return "ERR a frequency from 100.00 to 199.99";
    memory.Put(radio->bcd, *bcd);
    if (radio->kilohertz) memory.Put(*radio->kilohertz, static_cast<int32_t>(std::lround(v * 1000)));
    return "OK";
  }
  if (name == "adf") {
    if (v < 0 || v > 999 || v != std::floor(v)) return "ERR whole kilohertz from 0 to 999";
    const int khz = static_cast<int>(v);
    memory.Put(offsets::kAdfFrequency, static_cast<uint16_t>((khz / 100) << 8 | (khz / 10 % 10) << 4 | khz % 10));
    memory.Put(offsets::kAdfExtended, uint16_t{0});  // as the ADF command leaves it
    return "OK";
  }
  if (name == "transponder") {
    if (text.size() != 4 || text.find_first_not_of("01234567") != std::string_view::npos)
      return "ERR four digits from 0 to 7";
    uint16_t code = 0;
    for (char c : text) code = static_cast<uint16_t>(code << 4 | (c - '0'));
    memory.Put(offsets::kTransponder, code);
    return "OK";
  }
  if (name == "altitude") {
    if (v < 0 || v > 65535) return "ERR feet from 0 to 65535";
    memory.Put(offsets::kAltitudeFeet, static_cast<uint16_t>(std::lround(v)));
    return "OK";
  }
  if (name == "heading") {
    if (v < 0 || v > 360) return "ERR degrees from 0 to 360";
    memory.Put(offsets::kHeading, v);
    return "OK";
  }
  if (name == "ias") {
    if (v < 0 || v > 2000) return "ERR knots from 0 to 2000";
    memory.Put(offsets::kIndicatedAirspeed, static_cast<int32_t>(std::lround(v * 128)));
    return "OK";
  }
  if (name == "vs") {
    if (std::fabs(v) > 20000) return "ERR feet per minute from -20000 to 20000";
    const double metresPerSecond = v / 60 / kFeetPerMetre;
    memory.Put(offsets::kVerticalSpeed, static_cast<int32_t>(std::lround(metresPerSecond * 256)));
    return "OK";
  }
  if (name == "lat") {
    if (std::fabs(v) > 90) return "ERR degrees from -90 to 90";
    const long double units = v * kLatitudeUnitsPerDegree * kTwoPow32;
    memory.Put(offsets::kLatitude, static_cast<int64_t>(std::llround(units)));
    return "OK";
  }
  if (name == "lon") {
    if (std::fabs(v) > 180) return "ERR degrees from -180 to 180";
    long double units = std::round(v / 360 * kTwoPow64);
    if (units >= kTwoPow64 / 2) units -= kTwoPow64;  // 180 east is 180 west
    memory.Put(offsets::kLongitude, static_cast<int64_t>(units));
    return "OK";
  }
  if (name == "qnh") {
    if (v < 800 || v > 1200) return "ERR hectopascals from 800 to 1200";
    memory.Put(offsets::kAltimeterSetting, static_cast<uint16_t>(std::lround(v * 16)));
    return "OK";
  }
  return "ERR unknown value name (help lists them)";
}

std::string GetCockpitValue(const OffsetMemory& memory, std::string_view name) {
  if (const Radio* radio = FindRadio(name)) return "OK " + BcdFrequencyText(memory.Get(radio->bcd));
  if (name == "adf") {
    const uint16_t bcd = memory.Get(offsets::kAdfFrequency);
    const std::string digits = HexDigits(bcd & 0x0FFF, 3);
    return "OK " + digits.substr(digits.find_first_not_of('0') == std::string::npos
                                     ? digits.size() - 1
                                     : digits.find_first_not_of('0'));
  }
  if (name == "transponder") return "OK " + HexDigits(memory.Get(offsets::kTransponder), 4);
  if (name == "altitude") return "OK " + std::to_string(memory.Get(offsets::kAltitudeFeet));
  if (name == "heading") return "OK " + Format("%.2f", memory.Get(offsets::kHeading));
  if (name == "ias") return "OK " + Format("%.1f", memory.Get(offsets::kIndicatedAirspeed) / 128.0);
  if (name == "vs") {
    const double metresPerSecond = memory.Get(offsets::kVerticalSpeed) / 256.0;
    return "OK " + Format("%.0f", metresPerSecond * 60 * kFeetPerMetre);
  }
  if (name == "lat") {
    const long double units = memory.Get(offsets::kLatitude);
    return "OK " + Format("%.6f", static_cast<double>(units / kTwoPow32 / kLatitudeUnitsPerDegree));
  }
  if (name == "lon") {
    const long double units = memory.Get(offsets::kLongitude);
    return "OK " + Format("%.6f", static_cast<double>(units / kTwoPow64 * 360));
  }
  if (name == "qnh") return "OK " + Format("%.2f", memory.Get(offsets::kAltimeterSetting) / 16.0);
  return "ERR unknown value name (help lists them)";
}

}  // namespace tavelor::sim
