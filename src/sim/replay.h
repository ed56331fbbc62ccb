// A recording served again: the offset memory follows the recording's reads in time, at any
// speed, once or round and round, and jumps to any moment of it. Only what the recording saw
// change is written, byte by byte, so a panel's command stays in memory until the recording's
// own value there next changes; whatever the recording never read stays as the aircraft the
// replay started from (the parked one) has it.
//
// Whatever the file, one call does a bounded amount of work (kBytesPerStep of recorded bytes):
// a recording that crowds a great deal into a moment is caught up with over several calls, the
// replay falling behind the clock meanwhile, so the simulator serves its link and control
// channel between them. A looping recording starts over at most once a call.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "recording/recording_reader.h"
#include "sim/offset_memory.h"

namespace tavelor::sim {

class Replay {
 public:
  // Sets memory as it is before the recording's first exchange.
  using StartState = std::function<void(OffsetMemory&)>;

  // The recorded bytes one call applies at most.
  static constexpr size_t kBytesPerStep = 4 << 20;
  // The largest recording taken: it is held whole in memory (an hour of ten panels is tens of
  // megabytes), and what the replay keeps besides it is a few megabytes.
  static constexpr uint64_t kMaxFileBytes = uint64_t{1} << 30;

  // The recording at `path`, read whole, or nullptr with the reason in *error: not a regular
  // file (a folder, a pipe), larger than kMaxFileBytes, or not a recording. *note says where the
  // recording stops when its end is cut short or damaged (its whole exchanges are replayed);
  // empty otherwise. Reading stops, with the reason, once *stop turns true (a signal).
  static std::unique_ptr<Replay> Load(const std::string& path, std::string* error, std::string* note,
                                      const std::atomic<bool>* stop = nullptr);
  // A recording's bytes, checked as Load checks a file's.
  static std::unique_ptr<Replay> FromBytes(std::string bytes, std::string* error, std::string* note);
  Replay(const Replay&) = delete;  // its reader looks into its own bytes
  Replay& operator=(const Replay&) = delete;

  // Seconds from the recording's start to its last whole exchange.
  double Length() const { return static_cast<double>(lengthMs_) / 1000; }
  double Position() const { return position_; }
  bool Playing() const { return playing_; }
  // Still applying what the recording holds up to the moment it should be at: the next call
  // goes on with it.
  bool Behind() const { return behind_; }
  // Recorded bytes applied since the start, as ApplyUntil counts them against kBytesPerStep.
  uint64_t AppliedBytes() const { return applied_; }
  // What the replay holds besides the file itself: its reader's lists.
  size_t HeldBytes() const { return reader_.HeldBytes(); }
  void SetLoop(bool loop) { loop_ = loop; }
  void SetSpeed(double factor) { speed_ = factor; }

  // From the start: memory as `start` sets it, then the recording's first moment; playing.
  void Begin(OffsetMemory& memory, StartState start);
  // Plays on; from the start again once it has ended.
  void Play(OffsetMemory& memory);
  void Pause() { playing_ = false; }
  // Moves on by `seconds` of the host's time (times the speed), applying what the recording
  // changed meanwhile. At the end it starts over (looping) or holds the last moment, paused.
  // While Behind(), it goes on catching up instead, and the time is not counted.
  void Advance(OffsetMemory& memory, double seconds);
  // The recording's moment `seconds` (0 to Length()) after its start; playing or not as before.
  void JumpTo(OffsetMemory& memory, double seconds);

 private:
  explicit Replay(std::string bytes);
  void Restart(OffsetMemory& memory);
  // Applies the recording up to `seconds`, what is left of this call's step at most; Behind()
  // when that was not enough.
  void ApplyUntil(OffsetMemory& memory, double seconds);
  void Apply(OffsetMemory& memory, const recording::RecordedExchange& exchange);

  std::string bytes_;
  recording::RecordingReader reader_;
  recording::RecordedExchange next_;
  bool hasNext_ = false;
  uint64_t lengthMs_ = 0;
  double position_ = 0;
  bool playing_ = false;
  bool behind_ = false;
  double target_ = 0;  // the moment ApplyUntil is catching up with
  uint64_t applied_ = 0;
  size_t stepLeft_ = kBytesPerStep;  // of this call's step: a restart and what follows share one
  bool loop_ = false;
  double speed_ = 1;
  StartState start_;
  // The recording's last value of each byte, and whether it has given one: a byte is written to
  // memory only when the recording's value changes.
  std::array<uint8_t, OffsetMemory::kSize> recorded_{};
  std::array<bool, OffsetMemory::kSize> known_{};
};

}  // namespace tavelor::sim
