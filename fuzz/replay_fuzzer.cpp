// A recording built to cost: the input is not the file but how to make one, large where the
// other target's inputs stay small. It says how many exchanges there are and how many records
// each holds (up to what a block takes), how far apart in time they are (all at once, say),
// whether their records move (a new shape for every exchange) and their bytes change, and how
// the replay plays it (looping, how fast, where it jumps). The file is written and loaded from
// disk as `--replay` loads it. Whatever it holds, the replay must stay within its bounds: what
// it keeps besides the file, and the recorded bytes one call applies.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "recording/recording_format.h"
#include "recording/recording_writer.h"
#include "sim/replay.h"
#include "sim/sim_options.h"

using namespace tavelor;

namespace {

// The reader's lists at their caps, with room to spare: a few megabytes whatever the file.
constexpr size_t kMostHeld = 8 << 20;
// Larger files, or more records in all, add nothing but time to each run.
constexpr size_t kMostFileBytes = 6 << 20;
constexpr size_t kMostRecords = 1 << 20;

struct Plan {
  size_t exchanges, records, size;
  uint64_t stepMs;
  bool moving, changing, loop;
  double speed;
  double jump;  // a fraction of the length
};

Plan PlanOf(const uint8_t* data, size_t size) {
  std::vector<uint8_t> b(data, data + std::min<size_t>(size, 9));
  b.resize(9, 0);
  Plan plan;
  plan.exchanges = 1 + (b[0] | b[1] << 8);                                              // to 65536
  plan.records = 1 + b[2] * (recording::kMaxRecords - 1) / 255;                        // to a block's most
  plan.size = std::min<size_t>(b[3] * 4, recording::kMaxRecordSize / plan.records);
  plan.exchanges = std::min(plan.exchanges, kMostRecords / plan.records);
  plan.stepMs = b[4] < 128 ? 0 : b[4] - 128;                                            // mostly all at once
  plan.moving = b[5] & 1;
  plan.changing = b[5] & 2;
  plan.loop = b[5] & 4;
  plan.speed = std::clamp(0.01 * (1 + b[6] * b[6]), sim::kSlowestReplay, sim::kFastestReplay);
  plan.jump = b[7] / 255.0;
  return plan;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Plan plan = PlanOf(data, size);
  recording::RecordingWriter writer({0, "fuzz"});
  std::vector<uint8_t> bytes(plan.size);
  std::vector<LinkRecord> records(plan.records);
  uint64_t ms = 0;
  for (size_t e = 0; e < plan.exchanges && writer.Pending().size() < kMostFileBytes; ++e) {
    for (size_t r = 0; r < plan.records; ++r) {
      const uint32_t offset = static_cast<uint32_t>((plan.moving ? e * plan.records : 0) + r * plan.size);
      records[r] = {false, offset, static_cast<uint32_t>(plan.size), bytes.data()};
    }
    if (plan.changing) std::fill(bytes.begin(), bytes.end(), static_cast<uint8_t>(e));
    writer.Exchange(ms, records);
    ms += plan.stepMs;
  }
  char path[] = "/tmp/tavelor-fuzz-replay-XXXXXX";
  const int fd = ::mkstemp(path);
  FUZZ_CHECK(fd >= 0);
  const std::string& file = writer.Pending();
  FUZZ_CHECK(::write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size()));
  ::close(fd);
  std::string error, note;
  std::unique_ptr<sim::Replay> replay = sim::Replay::Load(path, &error, &note);
  ::unlink(path);
  if (!replay) return 0;  // past a cap: refused, with its reason
  FUZZ_CHECK(replay->HeldBytes() <= kMostHeld);

  sim::OffsetMemory memory;
  replay->SetLoop(plan.loop);
  replay->SetSpeed(plan.speed);
  // Every call applies a step's bytes at most, and one exchange beyond: a restart included.
  const uint64_t step = sim::Replay::kBytesPerStep + recording::kMaxRecordSize + 16 * recording::kMaxRecords;
  uint64_t before = 0;
  const auto bounded = [&] {
    FUZZ_CHECK(replay->AppliedBytes() - before <= step);
    before = replay->AppliedBytes();
  };
  replay->Begin(memory, {});
  bounded();
  for (int tick = 0; tick < 8; ++tick) {
    replay->Advance(memory, 0.1);
    bounded();
    if (tick == 3) {
      replay->JumpTo(memory, plan.jump * replay->Length());
      bounded();
    }
  }
  FUZZ_CHECK(replay->HeldBytes() <= kMostHeld);
  FUZZ_CHECK(replay->Position() >= 0 && replay->Position() <= replay->Length());
  return 0;
}
