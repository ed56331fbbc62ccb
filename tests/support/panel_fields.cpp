#include "support/panel_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>

#include "replies/reply_schema.h"

#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor::testing {

std::vector<std::string> FieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::string body = line;
  if (body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0) body.resize(body.size() - 2);
  size_t start = 0;
  for (size_t colon; (colon = body.find(':', start)) != std::string::npos; start = colon + 1) {
    fields.push_back(body.substr(start, colon - start));
  }
  if (start < body.size()) fields.push_back(body.substr(start));  // a field with no ":" after it
  return fields;
}

std::vector<std::string> Fields(const std::string& line) {
  EXPECT_GE(line.size(), 3u);
  if (line.size() >= 3) {
    EXPECT_EQ(line.substr(line.size() - 3), ":\r\n");
  }
  std::vector<std::string> fields{""};
  for (std::string& field : FieldsOf(line)) fields.push_back(std::move(field));
  return fields;
}

void PokeFlyingPanel(sim::OffsetMemory& m, std::mt19937& rng) {
  auto between = [&](int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng); };
  auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  auto any = [&] { return (static_cast<uint64_t>(rng()) << 32) | rng(); };
  auto ident = [&] {
    static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    offsets::Ident bytes{};
    for (int i = 0, n = static_cast<int>(between(0, 6)); i < n; ++i) bytes[i] = kChars[between(0, 35)];
    return bytes;
  };
  using namespace offsets;
  for (auto sw : {kApMaster, kApHeadingHold, kApNavHold, kApAltitudeHold, kApLocaliserHold,
                  kApGlideslopeHold, kNavGpsSelector, kApAirspeedHold}) {
    Poke(m, sw, static_cast<uint32_t>(between(0, 1)));
  }
  for (auto marker : {kMarker1, kMarker2, kMarker3}) Poke(m, marker, static_cast<uint16_t>(between(0, 1)));
  for (auto id : {kNav1Ident, kNav2Ident, kAdfIdent, kGpsNextId}) Poke(m, id, ident());
  for (auto word : {kAdfBearing, kApHeading, kNav1Radial, kNav2Radial, kWindDirection, kWindSpeed,
                     kAltitudeFeet, kMach, kAltimeterSetting, kDme1Aux, kDme2Aux, kOutsideAirTemp, kApAirspeed}) {
    Poke(m, word, static_cast<uint16_t>(any()));
  }
  for (auto byte : {kNav1Needle, kNav1Glideslope, kNav1ToFrom, kNav1Ils}) Poke(m, byte, static_cast<uint8_t>(any()));
  for (auto course : {kVor2, kNav1Course}) Poke(m, course, static_cast<uint16_t>(between(0, 359)));
  for (auto dme : {kDme1Distance, kDme2Distance}) Poke(m, dme, static_cast<uint16_t>(between(0, 3500)));
  for (auto speed : {kIndicatedAirspeed, kTrueAirspeed, kGroundSpeed, kGpsTimeToGo}) {
    Poke(m, speed, static_cast<int32_t>(between(0, INT32_MAX)));
  }
  for (auto signedValue : {kVerticalSpeed, kPitch, kBank, kAdfSignal}) Poke(m, signedValue, static_cast<int32_t>(any()));
  Poke(m, kRadioAltitude, static_cast<uint32_t>(any()));
  Poke(m, kApAltitude, static_cast<int32_t>(between(0, static_cast<int64_t>(99999 / 3.28084 * 65536))));
  const int64_t feetPerMinute = between(-8000, 8000);  // two's complement, as the autopilot keeps it
  Poke(m, kApVerticalSpeed, static_cast<uint16_t>(feetPerMinute < 0 ? 65536 + feetPerMinute : feetPerMinute));
  Poke(m, kApMach, static_cast<int32_t>(between(0, 9 * 65536)));
  Poke(m, kBarberPoleSpeed, static_cast<int32_t>(between(0, 999 * 128)));
  Poke(m, kFlightDirector, static_cast<int32_t>(between(0, 1)));
  Poke(m, kHeading, real(0, 359.99));
  Poke(m, kAce, real(-99, 99));
  Poke(m, kFlightDirectorValue1, real(-99, 99));
  Poke(m, kFlightDirectorValue2, real(-99, 99));
  Poke(m, kGpsDistance, real(0, 4e6));
  Poke(m, kGpsCourse, real(0, 2 * std::numbers::pi - 0.01));
  Poke(m, kGpsCrossTrack, real(-2e4, 2e4));
}

void ExpectWidths(const std::string& line, std::string_view code, std::initializer_list<int> varying) {
  ASSERT_GE(line.size(), 3u);
  EXPECT_EQ(line.substr(line.size() - 3), ":\r\n");
  const std::vector<std::string> fields = FieldsOf(line);
  const std::vector<FieldInfo>& table = FindReplySchema(code)->fields;
  ASSERT_EQ(fields.size(), table.size()) << line;
  for (size_t f = 0; f < fields.size(); ++f) {
    if (std::find(varying.begin(), varying.end(), table[f].number) != varying.end()) {
      EXPECT_FALSE(fields[f].empty()) << table[f].name << ": " << line;
    } else {
      EXPECT_EQ(fields[f].size(), static_cast<size_t>(table[f].width)) << table[f].name << ": " << line;
    }
  }
}

std::vector<sim::JournalEntry> WritesOf(SimLink& link) {
  std::vector<sim::JournalEntry> writes;
  for (sim::JournalEntry& e : link.TakeJournal()) {
    if (e.write) writes.push_back(std::move(e));
  }
  return writes;
}

std::string RequestErrorOf(const std::function<void(RequestState&)>& request,
                           RequestState& state) {
  try {
    request(state);
  } catch (const RequestError& e) {
    return e.what();
  }
  return "";
}

}  // namespace tavelor::testing
