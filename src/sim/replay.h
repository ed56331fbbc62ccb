// A recording served again: the offset memory follows the recording's reads in time, at any
// speed, once or round and round, and jumps to any moment of it. Only what the recording saw
// change is written, byte by byte, so a panel's command stays in memory until the recording's
// own value there next changes; whatever the recording never read stays as the aircraft the
// replay started from (the parked one) has it.
#pragma once

#include <array>
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

  // The recording at `path`, read whole, or nullptr with the reason in *error. *note says
  // where the recording stops when its end is cut short or damaged (its whole exchanges are
  // replayed); empty otherwise.
  static std::unique_ptr<Replay> Load(const std::string& path, std::string* error, std::string* note);
  // A recording's bytes, checked as Load checks a file's.
  static std::unique_ptr<Replay> FromBytes(std::string bytes, std::string* error, std::string* note);
  Replay(const Replay&) = delete;  // its reader looks into its own bytes
  Replay& operator=(const Replay&) = delete;

  // Seconds from the recording's start to its last whole exchange.
  double Length() const { return static_cast<double>(lengthMs_) / 1000; }
  double Position() const { return position_; }
  bool Playing() const { return playing_; }
  void SetLoop(bool loop) { loop_ = loop; }
  void SetSpeed(double factor) { speed_ = factor; }

  // From the start: memory as `start` sets it, then the recording's first moment; playing.
  void Begin(OffsetMemory& memory, StartState start);
  // Plays on; from the start again once it has ended.
  void Play(OffsetMemory& memory);
  void Pause() { playing_ = false; }
  // Moves on by `seconds` of the host's time (times the speed), applying what the recording
  // changed meanwhile. At the end it starts over (looping) or holds the last moment, paused.
  void Advance(OffsetMemory& memory, double seconds);
  // The recording's moment `seconds` (0 to Length()) after its start; playing or not as before.
  void JumpTo(OffsetMemory& memory, double seconds);

 private:
  explicit Replay(std::string bytes);
  void Restart(OffsetMemory& memory);
  void ApplyUntil(OffsetMemory& memory, double seconds);
  void Apply(OffsetMemory& memory, const recording::RecordedExchange& exchange);

  std::string bytes_;
  recording::RecordingReader reader_;
  recording::RecordedExchange next_;
  bool hasNext_ = false;
  uint64_t lengthMs_ = 0;
  double position_ = 0;
  bool playing_ = false;
  bool loop_ = false;
  double speed_ = 1;
  StartState start_;
  // The recording's last value of each byte, and whether it has given one: a byte is written to
  // memory only when the recording's value changes.
  std::array<uint8_t, OffsetMemory::kSize> recorded_{};
  std::array<bool, OffsetMemory::kSize> known_{};
};

}  // namespace tavelor::sim
