// Writes a recording: the link's exchanges, each with its time, in the compact form of
// docs/recording.md. Each record's place in the block (type, offset, size) is written once, as
// a numbered slot, and each exchange's list of slots once, as a numbered shape; an exchange then
// gives its shape's number and only the bytes that changed since that slot was last recorded.
// Standard C++ only: the writer builds the bytes, its owner puts them in a file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "recording/recording_format.h"
#include "simlink/exchange_observer.h"

namespace tavelor::recording {

class RecordingWriter {
 public:
  // The signature, the version and the header frame, into `pending`.
  explicit RecordingWriter(const RecordingHeader& header);

  // One exchange, `ms` milliseconds after the start (an earlier time than the last one's counts
  // as the same), appended to the pending bytes.
  void Exchange(uint64_t ms, std::span<const LinkRecord> records);

  // Whole frames not yet written out. The owner writes them and clears them, or keeps them
  // for later: a frame is never split between two calls.
  std::string& Pending() { return pending_; }

 private:
  void Frame();  // frame_ as a whole frame, onto pending_
  uint32_t SlotOf(const LinkRecord& record, bool* isNew);

  std::string pending_;
  std::string frame_;                          // the payload being built
  uint64_t lastMs_ = 0;
  std::unordered_map<uint64_t, uint32_t> slots_;  // type, offset and size -> number, from 1
  std::vector<std::vector<uint8_t>> values_;      // each slot's last bytes, by number - 1
  std::unordered_map<std::string, uint32_t> shapes_;  // a list of slot numbers -> number, from 1
  std::string shapeKey_;                       // this exchange's list, as shapes_ keys it
  std::vector<uint32_t> slotList_;             // this exchange's slots
  std::vector<bool> newSlot_;                  // whether each was first seen in this exchange
};

}  // namespace tavelor::recording
