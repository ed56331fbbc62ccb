#include "sim/replay.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tavelor::sim {

namespace {
// A record costs its bytes and its walk: one of no bytes is not free.
constexpr size_t kRecordCost = 16;
}  // namespace

Replay::Replay(std::string bytes) : bytes_(std::move(bytes)), reader_(bytes_) {}

std::unique_ptr<Replay> Replay::Load(const std::string& path, std::string* error, std::string* note,
                                     const std::atomic<bool>* stop) {
  // Only a regular file is read: a pipe would hold the start for ever, a folder is not a file.
  std::error_code status;
  const std::filesystem::file_status kind = std::filesystem::status(path, status);
  if (status || !std::filesystem::exists(kind)) {
    *error = "cannot open the recording " + path + " (there is no such file)";
    return nullptr;
  }
  if (std::filesystem::is_directory(kind)) {
    *error = path + " is a folder, not a recording";
    return nullptr;
  }
  if (!std::filesystem::is_regular_file(kind)) {
    *error = path + " is not a regular file (a pipe or a device cannot be replayed)";
    return nullptr;
  }
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) {
    *error = "cannot open the recording " + path;
    return nullptr;
  }
  const std::streamoff size = file.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxFileBytes) {
    *error = "the recording " + path + " is larger than 1 GiB";
    return nullptr;
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  file.seekg(0);
  // In pieces, so that a stop asked for meanwhile is heard within a moment.
  constexpr std::streamoff kPiece = 16 << 20;
  for (std::streamoff at = 0; at < size; at += kPiece) {
    if (stop && *stop) {
      *error = "reading the recording " + path + " was stopped";
      return nullptr;
    }
    if (!file.read(bytes.data() + at, std::min(kPiece, size - at))) {
      *error = "cannot read the recording " + path;
      return nullptr;
    }
  }
  std::unique_ptr<Replay> replay = FromBytes(std::move(bytes), error, note);
  if (!replay) *error = path + ": " + *error;
  if (!note->empty()) *note = path + ": " + *note;
  return replay;
}

std::unique_ptr<Replay> Replay::FromBytes(std::string bytes, std::string* error, std::string* note) {
  note->clear();
  std::unique_ptr<Replay> replay(new Replay(std::move(bytes)));
  if (!replay->reader_.Open(error)) return nullptr;
  // Read through once: the length, and whether the end is whole.
  recording::RecordedExchange exchange;
  while (replay->reader_.Next(&exchange)) replay->lengthMs_ = exchange.ms;
  if (!replay->reader_.Problem().empty()) {
    std::ostringstream text;
    text << replay->reader_.Problem() << ": replaying the " << std::fixed;
    text.precision(1);
    text << replay->Length() << " s before it";
    *note = text.str();
  }
  return replay;
}

void Replay::Begin(OffsetMemory& memory, StartState start) {
  stepLeft_ = kBytesPerStep;
  start_ = std::move(start);
  Restart(memory);
  playing_ = true;
}

void Replay::Restart(OffsetMemory& memory) {
  if (start_) start_(memory);
  known_.fill(false);  // what recorded_ holds counts only where known_ says so
  reader_.Rewind();
  hasNext_ = reader_.Next(&next_);
  position_ = 0;
  ApplyUntil(memory, 0);
}

void Replay::Play(OffsetMemory& memory) {
  stepLeft_ = kBytesPerStep;
  if (position_ >= Length() && !behind_) Restart(memory);
  playing_ = true;
}

void Replay::Advance(OffsetMemory& memory, double seconds) {
  stepLeft_ = kBytesPerStep;
  if (behind_) return ApplyUntil(memory, target_);
  if (!playing_ || !(seconds > 0)) return;
  // A host that stalls does not jump ahead, as the flight does not.
  double target = position_ + std::min(seconds, 1.0) * speed_;
  if (target >= Length() && loop_ && lengthMs_ > 0) {
    // Starting over resets memory to the start, so the recording's end need not be applied.
    target = std::fmod(target - Length(), Length());
    Restart(memory);
    if (behind_) {  // the first moment alone took this call: the rest comes with the next ones
      target_ = target;
      return;
    }
  } else if (target >= Length()) {
    target = Length();
    playing_ = false;
  }
  ApplyUntil(memory, target);
}

void Replay::JumpTo(OffsetMemory& memory, double seconds) {
  stepLeft_ = kBytesPerStep;
  seconds = std::clamp(seconds, 0.0, Length());
  if (seconds < position_) Restart(memory);
  ApplyUntil(memory, seconds);
}

void Replay::ApplyUntil(OffsetMemory& memory, double seconds) {
  // Whole milliseconds, as the recording keeps its times; the small margin keeps 12.345 from
  // landing a hair below its own millisecond.
  const double ms = std::floor(seconds * 1000 + 1e-6);
  size_t applied = 0;
  while (hasNext_ && static_cast<double>(next_.ms) <= ms) {
    if (applied >= stepLeft_) {
      stepLeft_ = 0;
      applied_ += applied;
      behind_ = true;
      target_ = seconds;
      position_ = static_cast<double>(next_.ms) / 1000;
      return;
    }
    for (const recording::RecordedRecord& record : next_.records) applied += record.size + kRecordCost;
    Apply(memory, next_);
    hasNext_ = reader_.Next(&next_);
  }
  applied_ += applied;
  stepLeft_ -= std::min(stepLeft_, applied);
  behind_ = false;
  position_ = seconds;
}

void Replay::Apply(OffsetMemory& memory, const recording::RecordedExchange& exchange) {
  for (const recording::RecordedRecord& record : exchange.records) {
    if (record.write || record.offset >= OffsetMemory::kSize) continue;
    const uint32_t size = std::min<uint32_t>(record.size, OffsetMemory::kSize - record.offset);
    // Runs of bytes the recording saw change, each written as one piece.
    uint32_t i = 0;
    while (i < size) {
      const uint32_t at = record.offset + i;
      if (known_[at] && recorded_[at] == record.bytes[i]) {
        ++i;
        continue;
      }
      const uint32_t from = i;
      while (i < size && !(known_[record.offset + i] && recorded_[record.offset + i] == record.bytes[i])) {
        recorded_[record.offset + i] = record.bytes[i];
        known_[record.offset + i] = true;
        ++i;
      }
      memory.WriteUnpaired(record.offset + from, i - from, record.bytes + from);
    }
  }
}

}  // namespace tavelor::sim
