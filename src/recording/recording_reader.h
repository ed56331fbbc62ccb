// Reads a recording (docs/recording.md) held whole in memory, one exchange at a time, each
// record with its full bytes again. It trusts nothing in the file: it stops at the first frame
// that is cut short or damaged, having given every whole exchange before it, and says why. What
// it keeps besides the file is bounded whatever the file holds: its records' bytes stay in the
// file, and the lists of records it learns are capped far above any real recording's.
// Standard C++ only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "recording/recording_format.h"

namespace tavelor::recording {

struct RecordedRecord {
  bool write;
  uint32_t offset;
  uint32_t size;
  const uint8_t* bytes;  // valid until the reader's next call
};

struct RecordedExchange {
  uint64_t ms = 0;  // since the start of the recording
  std::vector<RecordedRecord> records;
};

class RecordingReader {
 public:
  enum class End {
    kNotYet,    // more may follow
    kComplete,  // the file ends after a whole frame
    kCut,       // the last frame runs past the end of the file: a recording cut short
    kDamaged,   // a frame whose checksum or contents are wrong
  };

  // `file` must outlive the reader.
  explicit RecordingReader(std::string_view file) : file_(file) {}

  // The signature, the version and the header. False, with the reason, when the file is not a
  // recording this reader can read.
  bool Open(std::string* error);
  const RecordingHeader& Header() const { return header_; }

  // The next exchange; false once there is none (see Ended and Problem).
  bool Next(RecordedExchange* exchange);
  End Ended() const { return end_; }
  // Why the exchanges stopped before the file's end, with where: empty when they did not.
  const std::string& Problem() const { return problem_; }

  // Back to the first exchange.
  void Rewind();

  // What the reader holds besides the file: its lists of slots and shapes, in bytes. Bounded
  // by its caps whatever the file (a few megabytes).
  size_t HeldBytes() const;

 private:
  struct Slot {
    bool write;
    uint32_t offset;
    uint32_t size;
    const uint8_t* value = nullptr;  // where the file last gave its bytes; none yet: never given
  };
  // The next frame's payload; false at the end of the file or at a bad frame.
  bool NextFrame(std::string_view* payload);
  bool Stop(End end, const std::string& problem);
  bool ReadHeader(std::string_view payload, std::string* error);
  bool ReadExchange(std::string_view payload, RecordedExchange* exchange);
  bool ReadShape(const uint8_t** at, const uint8_t* end);

  std::string_view file_;
  size_t at_ = 0;
  size_t firstExchange_ = 0;
  uint64_t ms_ = 0;
  uint64_t frames_ = 0;  // frames read, for the problem's wording
  End end_ = End::kNotYet;
  std::string problem_;
  RecordingHeader header_;
  std::vector<Slot> slots_;
  std::vector<std::vector<uint32_t>> shapes_;  // each a list of slot indexes
  size_t shapeEntries_ = 0;                    // in all the lists
  std::vector<uint8_t> bytes_;                 // the last exchange's records' bytes, in order
};

}  // namespace tavelor::recording
