#include "recording/recording_writer.h"

#include <cstring>

#include "recording/recording_format.h"

namespace tavelor::recording {

RecordingWriter::RecordingWriter(const RecordingHeader& header) {
  pending_.assign(kSignature, sizeof kSignature);
  pending_ += static_cast<char>(kFormatVersion & 0xFF);
  pending_ += static_cast<char>(kFormatVersion >> 8);
  frame_ = static_cast<char>(kHeaderFrame);
  PutVarint(frame_, header.startUnixMs);
  PutVarint(frame_, header.program.size());
  frame_ += header.program;
  Frame();
}

void RecordingWriter::Frame() {
  PutVarint(pending_, frame_.size());
  pending_ += frame_;
  PutU32(pending_, Crc32(reinterpret_cast<const uint8_t*>(frame_.data()), frame_.size()));
}

uint32_t RecordingWriter::SlotOf(const LinkRecord& record, bool* isNew) {
  // A record's size is at most the block's, far below 2^31: type, offset and size fit one key.
  const uint64_t key = uint64_t{record.offset} << 32 | uint64_t{record.size} << 1 | record.write;
  const auto [at, inserted] = slots_.try_emplace(key, static_cast<uint32_t>(slots_.size() + 1));
  *isNew = inserted;
  if (inserted) values_.emplace_back(record.size);
  return at->second;
}

void RecordingWriter::Exchange(uint64_t ms, std::span<const LinkRecord> records) {
  slotList_.clear();
  newSlot_.clear();
  shapeKey_.clear();
  for (const LinkRecord& record : records) {
    bool isNew = false;
    const uint32_t slot = SlotOf(record, &isNew);
    slotList_.push_back(slot);
    newSlot_.push_back(isNew);
    shapeKey_.append(reinterpret_cast<const char*>(&slot), sizeof slot);
  }
  const auto [shape, newShape] = shapes_.try_emplace(shapeKey_, static_cast<uint32_t>(shapes_.size() + 1));

  frame_.assign(1, static_cast<char>(kExchangeFrame));
  PutVarint(frame_, ms > lastMs_ ? ms - lastMs_ : 0);
  if (ms > lastMs_) lastMs_ = ms;
  PutVarint(frame_, newShape ? 0 : shape->second);
  if (newShape) {
    PutVarint(frame_, records.size());
    for (size_t i = 0; i < records.size(); ++i) {
      if (!newSlot_[i]) {
        PutVarint(frame_, slotList_[i]);
        continue;
      }
      frame_ += '\0';
      frame_ += static_cast<char>(records[i].write ? kWriteType : kReadType);
      PutVarint(frame_, records[i].offset);
      PutVarint(frame_, records[i].size);
    }
  }
  // One bit per record, set when its bytes follow: a slot's first bytes, and any that changed.
  const size_t bitmap = frame_.size();
  frame_.append((records.size() + 7) / 8, '\0');
  for (size_t i = 0; i < records.size(); ++i) {
    std::vector<uint8_t>& last = values_[slotList_[i] - 1];
    const LinkRecord& record = records[i];
    if (!newSlot_[i] && (record.size == 0 || std::memcmp(last.data(), record.bytes, record.size) == 0))
      continue;
    if (record.size > 0) std::memcpy(last.data(), record.bytes, record.size);
    frame_[bitmap + i / 8] = static_cast<char>(frame_[bitmap + i / 8] | (1 << (i % 8)));
    frame_.append(reinterpret_cast<const char*>(record.bytes), record.size);
  }
  Frame();
}

}  // namespace tavelor::recording
