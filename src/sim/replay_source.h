// A recording as the memory's source (sim/replay.h): it moves while it plays, and catches up
// over several ticks when a moment holds much.
#pragma once

#include <memory>

#include "sim/memory_source.h"
#include "sim/replay.h"

namespace tavelor::sim {

class ReplaySource : public MemorySource {
 public:
  explicit ReplaySource(std::unique_ptr<Replay> replay) : replay_(std::move(replay)) {}
  void Advance(OffsetMemory& memory, double seconds) override { replay_->Advance(memory, seconds); }
  bool Moving() const override { return replay_->Playing() || replay_->Behind(); }
  bool Behind() const override { return replay_->Behind(); }
  Replay& Recording() { return *replay_; }

 private:
  std::unique_ptr<Replay> replay_;
};

}  // namespace tavelor::sim
