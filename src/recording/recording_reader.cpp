#include "recording/recording_reader.h"

#include <cstring>

#include "recording/recording_format.h"

namespace tavelor::recording {

namespace {

const uint8_t* Bytes(std::string_view text) { return reinterpret_cast<const uint8_t*>(text.data()); }

// Bounds no real recording comes near (a recording has a few hundred slots and shapes, their
// lists some ten thousand records in all), and that keep what the reader holds besides the
// file to a few megabytes: a list's entry costs a byte in the file but four here. Times stay
// exact in a double's 53 bits.
constexpr size_t kMaxSlots = 1 << 16;
constexpr size_t kMaxShapes = 1 << 16;
constexpr size_t kMaxShapeEntries = 1 << 20;
constexpr uint64_t kMaxMs = uint64_t{1} << 53;

}  // namespace

bool RecordingReader::Stop(End end, const std::string& problem) {
  end_ = end;
  if (!problem.empty()) problem_ = problem + " (frame " + std::to_string(frames_ + 1) + ", byte " +
                                   std::to_string(at_) + ")";
  return false;
}

bool RecordingReader::NextFrame(std::string_view* payload) {
  if (end_ != End::kNotYet) return false;
  if (at_ == file_.size()) return Stop(End::kComplete, "");
  const uint8_t* start = Bytes(file_) + at_;
  const uint8_t* end = Bytes(file_) + file_.size();
  const uint8_t* at = start;
  uint64_t length = 0;
  if (!GetVarint(&at, end, &length)) {
    // A length that runs past the end was being written when the file was cut.
    return at >= end ? Stop(End::kCut, "the last record is cut short")
                     : Stop(End::kDamaged, "a record's length is damaged");
  }
  if (length == 0 || length > kMaxFramePayload) return Stop(End::kDamaged, "a record's length is damaged");
  if (static_cast<uint64_t>(end - at) < length + 4) return Stop(End::kCut, "the last record is cut short");
  if (Crc32(at, length) != ipc::GetU32(at + length)) return Stop(End::kDamaged, "a record's checksum is wrong");
  *payload = std::string_view(reinterpret_cast<const char*>(at), length);
  at_ += static_cast<size_t>(at - start) + length + 4;
  ++frames_;
  return true;
}

bool RecordingReader::Open(std::string* error) {
  if (file_.size() < kPreambleSize || std::memcmp(file_.data(), kSignature, sizeof kSignature) != 0) {
    *error = "not a recording (it does not start with a recording's signature)";
    return false;
  }
  const unsigned version = Bytes(file_)[8] | Bytes(file_)[9] << 8;
  if (version != kFormatVersion) {
    *error = "a recording of format version " + std::to_string(version) + "; this program reads version " +
             std::to_string(kFormatVersion);
    return false;
  }
  at_ = kPreambleSize;
  std::string_view payload;
  if (!NextFrame(&payload) || !ReadHeader(payload, error)) {
    if (error->empty()) *error = "its header is missing or damaged";
    return false;
  }
  firstExchange_ = at_;
  Rewind();
  return true;
}

bool RecordingReader::ReadHeader(std::string_view payload, std::string* error) {
  const uint8_t* at = Bytes(payload);
  const uint8_t* end = at + payload.size();
  uint64_t length = 0;
  if (*at++ != kHeaderFrame || !GetVarint(&at, end, &header_.startUnixMs) || !GetVarint(&at, end, &length) ||
      length > static_cast<uint64_t>(end - at)) {
    *error = "its header is damaged";
    return false;
  }
  header_.program.assign(reinterpret_cast<const char*>(at), static_cast<size_t>(length));
  return true;  // later versions may add to the header: what follows is theirs
}

size_t RecordingReader::HeldBytes() const {
  return slots_.capacity() * sizeof(Slot) + shapes_.capacity() * sizeof(shapes_[0]) +
         shapeEntries_ * sizeof(uint32_t) + bytes_.capacity();
}

void RecordingReader::Rewind() {
  at_ = firstExchange_;
  ms_ = 0;
  frames_ = 1;
  end_ = End::kNotYet;
  problem_.clear();
  slots_.clear();
  shapes_.clear();
  shapeEntries_ = 0;
}

bool RecordingReader::Next(RecordedExchange* exchange) {
  std::string_view payload;
  while (NextFrame(&payload)) {
    if (static_cast<uint8_t>(payload[0]) != kExchangeFrame) continue;  // a kind for later versions
    if (!ReadExchange(payload, exchange)) return Stop(End::kDamaged, "an exchange's contents are damaged");
    return true;
  }
  return false;
}

bool RecordingReader::ReadExchange(std::string_view payload, RecordedExchange* exchange) {
  const uint8_t* at = Bytes(payload) + 1;
  const uint8_t* end = Bytes(payload) + payload.size();
  uint64_t delta = 0, shape = 0;
  if (!GetVarint(&at, end, &delta) || !GetVarint(&at, end, &shape)) return false;
  if (delta > kMaxMs - ms_) return false;
  if (shape == 0 && !ReadShape(&at, end)) return false;
  if (shape == 0) shape = shapes_.size();
  if (shape > shapes_.size()) return false;
  const std::vector<uint32_t>& list = shapes_[static_cast<size_t>(shape - 1)];
  const size_t bitmapSize = (list.size() + 7) / 8;
  if (static_cast<size_t>(end - at) < bitmapSize) return false;
  const uint8_t* bitmap = at;
  at += bitmapSize;
  bytes_.clear();
  for (size_t i = 0; i < list.size(); ++i) {
    Slot& slot = slots_[list[i]];
    if (bitmap[i / 8] & (1 << (i % 8))) {
      if (static_cast<size_t>(end - at) < slot.size) return false;
      slot.value = at;
      at += slot.size;
    } else if (!slot.value) {
      return false;  // unchanged from bytes never given
    }
    bytes_.insert(bytes_.end(), slot.value, slot.value + slot.size);
  }
  if (at != end) return false;
  ms_ += delta;
  exchange->ms = ms_;
  exchange->records.clear();
  size_t from = 0;
  for (const uint32_t index : list) {
    const Slot& slot = slots_[index];
    exchange->records.push_back({slot.write, slot.offset, slot.size, bytes_.data() + from});
    from += slot.size;
  }
  return true;
}

// A new shape: its record count, then each record's slot, new ones defined in place. What one
// exchange holds fits the link's block, so a shape larger than that is damage, and memory stays
// within what the file itself holds.
bool RecordingReader::ReadShape(const uint8_t** at, const uint8_t* end) {
  uint64_t count = 0;
  if (!GetVarint(at, end, &count) || count > kMaxRecords || shapes_.size() >= kMaxShapes ||
      count > kMaxShapeEntries - shapeEntries_)
    return false;
  shapeEntries_ += static_cast<size_t>(count);
  std::vector<uint32_t> list;
  list.reserve(static_cast<size_t>(count));
  uint64_t bytes = 0;
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t slot = 0;
    if (!GetVarint(at, end, &slot)) return false;
    if (slot == 0) {
      uint64_t offset = 0, size = 0;
      if (*at >= end || slots_.size() >= kMaxSlots) return false;
      const uint8_t type = *(*at)++;
      if ((type != kReadType && type != kWriteType) || !GetVarint(at, end, &offset) ||
          !GetVarint(at, end, &size) || offset > UINT32_MAX || size > kMaxRecordSize)
        return false;
      slots_.push_back({type == kWriteType, static_cast<uint32_t>(offset), static_cast<uint32_t>(size), nullptr});
      slot = slots_.size();
    } else if (slot > slots_.size()) {
      return false;
    }
    bytes += slots_[static_cast<size_t>(slot - 1)].size;
    if (bytes > kMaxRecordSize) return false;
    list.push_back(static_cast<uint32_t>(slot - 1));
  }
  shapes_.push_back(std::move(list));
  return true;
}

}  // namespace tavelor::recording
