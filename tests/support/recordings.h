// Recordings made and read in tests: exchanges given as plain values, written with the
// program's writer and read back with its reader; and a panel's polls recorded and replayed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recording/recording_reader.h"
#include "support/process.h"

namespace tavelor::testing {

struct Rec {
  bool write;
  uint32_t offset;
  std::vector<uint8_t> bytes;
  bool operator==(const Rec&) const = default;
};

struct Exchange {
  uint64_t ms;
  std::vector<Rec> records;
  bool operator==(const Exchange&) const = default;
};

inline Rec Read(uint32_t offset, std::vector<uint8_t> bytes) { return {false, offset, std::move(bytes)}; }
inline Rec Write(uint32_t offset, std::vector<uint8_t> bytes) { return {true, offset, std::move(bytes)}; }

// The whole file; *frameEnds (when given) gets the size the file had after each exchange.
std::string Record(const std::vector<Exchange>& exchanges, std::vector<size_t>* frameEnds = nullptr);

// Every exchange the reader gives, and how it ended.
struct ReadBack {
  std::string error;  // Open's
  std::vector<Exchange> exchanges;
  recording::RecordingReader::End end = recording::RecordingReader::End::kNotYet;
  std::string problem;
};
ReadBack ReadRecording(const std::string& file);

// A panel polling while a flight is recorded: `codes` asked in turn, `count` requests of one
// exchange each, `pause` between them so that the flight moves on; the replies.
std::vector<std::string> Poll(Client& client, const std::vector<std::string>& codes, size_t count,
                              milliseconds pause);
// The same polls asked of a paused replay, each at its exchange's moment; a control answer other
// than OK stands in the reply's place.
std::vector<std::string> PollReplay(SimControl& control, Client& client, const std::vector<std::string>& codes,
                                    const std::vector<Exchange>& exchanges);
// The control line that moves a replay to an exchange recorded `ms` after the start.
std::string ReplayAt(uint64_t ms);

}  // namespace tavelor::testing
