// Recordings made and read in tests: exchanges given as plain values, written with the
// program's writer and read back with its reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recording/recording_reader.h"

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

}  // namespace tavelor::testing
