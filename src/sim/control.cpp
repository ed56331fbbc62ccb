// The control commands: one line in, one answer out. Numbers are parsed strictly (no signs, no
// trailing junk, no overflow) so a typo in a test shows up as ERR rather than as a wrong value.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "recording/replay_status.h"
#include "sim/world/cockpit_values.h"
#include "sim/world/flight.h"
#include "sim/flightgear/flightgear_source.h"
#include "sim/replay.h"
#include "sim/sim_peer.h"
#include "text/lower_case.h"

namespace tavelor::sim {

namespace {

constexpr uint32_t kMaxPeek = 65536;

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// All of `s` as one unsigned number of at most 32 bits in `base`: no sign, no blanks.
std::optional<uint32_t> ParseWhole(std::string_view s, int base) {
  uint32_t v = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (s.empty() || error != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

// Hexadecimal, with or without 0x, at most 32 bits.
std::optional<uint32_t> ParseOffset(std::string_view s) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  return ParseWhole(s, 16);
}

// Decimal digits only, at most 32 bits.
std::optional<uint32_t> ParseDecimal(std::string_view s) { return ParseWhole(s, 10); }

// Seconds as decimal digits with at most three after a point: the recording's milliseconds.
std::optional<uint64_t> ParseMilliseconds(std::string_view s) {
  const size_t point = s.find('.');
  const std::string_view whole = s.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? "" : s.substr(point + 1);
  if (whole.size() > 9 || fraction.size() > 3 || (point != std::string_view::npos && fraction.empty()))
    return std::nullopt;
  const auto seconds = ParseDecimal(whole);
  const auto thousandths = fraction.empty() ? std::optional<uint32_t>(0) : ParseDecimal(fraction);
  if (!seconds || !thousandths) return std::nullopt;
  uint64_t ms = *thousandths;
  for (size_t digits = fraction.size(); digits < 3; ++digits) ms *= 10;
  return uint64_t{*seconds} * 1000 + ms;
}

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view s) {
  if (s.empty() || s.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  bytes.reserve(s.size() / 2);
  for (size_t i = 0; i < s.size(); i += 2) {
    const auto byte = ParseWhole(s.substr(i, 2), 16);
    if (!byte) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(*byte));
  }
  return bytes;
}

void AppendHex(std::string& out, const uint8_t* p, size_t n) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[p[i] >> 4];
    out += kDigits[p[i] & 0xF];
  }
}

std::string OffsetText(uint32_t offset) {
  std::string hex;
  const uint8_t b[4] = {static_cast<uint8_t>(offset >> 24), static_cast<uint8_t>(offset >> 16),
                        static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset)};
  AppendHex(hex, b, 4);
  // At least four digits; wider offsets keep all their significant digits.
  size_t first = 0;
  while (first < hex.size() - 4 && hex[first] == '0') ++first;
  return hex.substr(first);
}


}  // namespace

std::string SimPeer::Control(const std::string& rawLine, bool* quit) {
  if (quit) *quit = false;
  std::string_view line(rawLine);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::vector<std::string_view> w = Words(line);
  if (w.empty()) return "ERR empty command";
  const std::string command = LowerCase(w[0]);

  if (command == "peek") {
    if (w.size() != 3) return "ERR usage: peek OFFSET SIZE";
    const auto offset = ParseOffset(w[1]);
    if (!offset) return "ERR bad offset";
    const auto size = ParseDecimal(w[2]);
    if (!size || *size == 0 || *size > kMaxPeek) return "ERR size must be 1 to 65536";
    std::vector<uint8_t> bytes(*size);
    memory_.Read(*offset, *size, bytes.data());
    std::string out = "OK ";
    AppendHex(out, bytes.data(), bytes.size());
    return out;
  }
  if (command == "poke") {
    if (w.size() != 3) return "ERR usage: poke OFFSET HEX";
    const auto offset = ParseOffset(w[1]);
    if (!offset) return "ERR bad offset";
    const auto bytes = ParseHexBytes(w[2]);
    if (!bytes) return "ERR bad hex data";
    memory_.Write(*offset, static_cast<uint32_t>(bytes->size()), bytes->data());
    source_->Written(memory_, *offset, static_cast<uint32_t>(bytes->size()));
    return "OK";
  }
  if (command == "journal") {
    if (w.size() != 1) return "ERR usage: journal";
    std::string out = "OK " + std::to_string(journal_.size());
    for (const JournalEntry& e : journal_) {
      out += '\n';
      out += std::to_string(e.exchange);
      out += e.write ? " W " : " R ";
      out += OffsetText(e.offset);
      out += ' ';
      out += std::to_string(e.size);
      if (e.write && !e.data.empty()) {
        out += ' ';
        AppendHex(out, e.data.data(), e.data.size());
      }
    }
    journal_.clear();
    return out;
  }
  if (command == "fail") {
    if (w.size() != 2) return "ERR usage: fail N";
    const auto n = ParseDecimal(w[1]);
    if (!n) return "ERR bad count";
    failNext_ = *n;
    return "OK";
  }
  if (command == "hang") {
    if (w.size() != 2) return "ERR usage: hang N";
    const auto n = ParseDecimal(w[1]);
    if (!n) return "ERR bad count";
    hangNext_ = *n;
    return "OK";
  }
  if (command == "replay") {
    if (!replay_) return "ERR no recording: start the stand-in with --replay FILE";
    const std::string how = w.size() >= 2 ? LowerCase(w[1]) : "";
    if (w.size() == 1) {
      return recording::ReplayStatusLine({replay_->Position(), replay_->Length(), replay_->Playing()});
    }
    if (how == "at" && w.size() == 3) {
      const auto ms = ParseMilliseconds(w[2]);
      if (!ms || *ms > static_cast<uint64_t>(std::llround(replay_->Length() * 1000)))
        return "ERR SECONDS from 0 to " + SecondsText(replay_->Length());
      replay_->JumpTo(memory_, static_cast<double>(*ms) / 1000);
      KeepIdentity();
      return "OK";
    }
    if (how == "pause" && w.size() == 2) {
      replay_->Pause();
      return "OK";
    }
    if (how == "on" && w.size() == 2) {
      replay_->Play(memory_);
      KeepIdentity();
      return "OK";
    }
    return "ERR usage: replay [at SECONDS|pause|on]";
  }
  if (command == "flightgear") {
    if (!flightgear_) return "ERR no FlightGear: start the stand-in with --flightgear HOST:PORT";
    if (w.size() != 1) return "ERR usage: flightgear";
    return "OK " + flightgear_->StatusLine();
  }
  if (command == "fly" && replay_) {
    return "ERR a recording is replayed: the circuit flies only without --replay";
  }
  if (command == "fly" && flightgear_) {
    return "ERR FlightGear flies the aircraft: the circuit flies only without --flightgear";
  }
  if (command == "fly") {
    const std::string how = w.size() >= 2 ? LowerCase(w[1]) : "";
    if (how == "at" && w.size() == 3) {
      const auto seconds = ParseDecimal(w[2]);
      if (!seconds || *seconds >= Flight::kCircuitSeconds) return "ERR SECONDS from 0 to 1199";
      FlyAt(*seconds);
      return "OK";
    }
    if (w.size() != 2) return "ERR usage: fly on|off|at SECONDS";
    if (how == "on") {
      StartFlying();
      return "OK";
    }
    if (how == "off") {
      StopFlying();
      return "OK";
    }
    return "ERR usage: fly on|off|at SECONDS";
  }
  if (command == "set") {
    if (w.size() != 3) return "ERR usage: set NAME VALUE";
    // What `set` changed reaches the memory's source as a panel's write does (FlightGear follows
    // it); a value spreads over offsets only `set` knows, so the source is told of them all.
    std::string answer = SetCockpitValue(memory_, LowerCase(w[1]), w[2]);
    source_->Written(memory_, 0, OffsetMemory::kSize);
    return answer;
  }
  if (command == "get") {
    if (w.size() != 2) return "ERR usage: get NAME";
    return GetCockpitValue(memory_, LowerCase(w[1]));
  }
  if (command == "help") {
    if (w.size() != 1) return "ERR usage: help";
    std::vector<std::string> lines = {
        "peek OFFSET SIZE     the bytes at a hexadecimal offset, in hexadecimal",
        "poke OFFSET HEX      set bytes, two hexadecimal digits each, little-endian values",
        "journal              what the link read and wrote since the last journal",
        "fail N               answer the next N exchanges 0, changing nothing",
        "hang N               leave the next N exchanges unanswered",
        "fly on|off           fly the circuit, or hold every value where it is",
        "fly at SECONDS       jump to that moment of the circuit, 0 to 1199",
        "replay               the recording's moment and length in seconds, playing or paused",
        "replay at SECONDS    jump to that moment of the recording, to the millisecond",
        "replay pause|on      hold the recording where it is, or play on",
        "flightgear           the link to FlightGear: its state, address, values taken and sent",
        "set NAME VALUE       set a common value in cockpit units",
        "get NAME             read a common value in cockpit units",
        "help                 this list",
        "quit                 the simulator goes away",
    };
    for (const CockpitValue& value : CockpitValues()) lines.push_back("  " + HelpLine(value));
    std::string out = "OK " + std::to_string(lines.size());
    for (const std::string& line : lines) out += "\n" + line;
    return out;
  }
  if (command == "quit") {
    if (w.size() != 1) return "ERR usage: quit";
    if (quit) *quit = true;
    return "OK";
  }
  return "ERR unknown command";
}

}  // namespace tavelor::sim
