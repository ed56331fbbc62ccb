// The stand-in replaying a recording: its memory follows the recording in time, jumps, pauses,
// loops and plays faster; a panel's write holds until the recording's value there changes;
// what the recording never read is the parked aircraft's.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/replay.h"
#include "sim/sim_peer.h"
#include "support/recordings.h"

namespace tavelor::sim {
namespace {

using testing::Read;

constexpr uint32_t kDme2 = 0x0306, kCom1 = 0x034E, kTransponder = 0x0354;

// Four seconds: DME 2 counts up each second, COM1 changes at 3 s. Its kilohertz form is
// 118.255, an 8.33 kHz channel whose BCD form reads 118.25: kept as recorded, not as the BCD says.
const std::vector<testing::Exchange> kRecorded = {
    {1000, {Read(kDme2, {0x01, 0x01}), Read(kCom1, {0x25, 0x18}), Read(0x05C4, {0xEF, 0xCD, 0x01, 0x00})}},
    {2000, {Read(kDme2, {0x02, 0x01}), Read(kCom1, {0x25, 0x18})}},
    {3000, {Read(kDme2, {0x03, 0x01}), Read(kCom1, {0x00, 0x19})}},
    {4000, {Read(kDme2, {0x04, 0x01}), Read(kCom1, {0x00, 0x19})}},
};

std::unique_ptr<Replay> Recorded(bool loop = false, double speed = 1) {
  std::string error, note;
  std::unique_ptr<Replay> replay = Replay::FromBytes(testing::Record(kRecorded), &error, &note);
  EXPECT_TRUE(replay) << error;
  if (replay) replay->SetLoop(loop), replay->SetSpeed(speed);
  return replay;
}

// A control line answered `answer`, or with no line `tick` seconds passing (then `replay`
// answers `answer`, when given); and the DME 2 and COM1 the memory holds after it.
struct Step {
  const char* line;
  double tick;
  const char* answer;
  uint16_t dme2, com1;
};

void RunSteps(SimPeer& peer, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    const std::string what = step.line ? step.line : "tick " + std::to_string(step.tick);
    if (!step.line) peer.Tick(step.tick);
    const char* line = step.line ? step.line : step.answer ? "replay" : nullptr;
    if (line) {
      EXPECT_EQ(peer.Control(line, nullptr), step.answer) << what;
    }
    EXPECT_EQ(peer.Memory().Get(Offset<uint16_t>{kDme2}), step.dme2) << what;
    EXPECT_EQ(peer.Memory().Get(Offset<uint16_t>{kCom1}), step.com1) << what;
  }
}

TEST(Replay, MemoryFollowsTheRecordingThroughJumpsPausesAndItsEnd) {
  SimPeer peer;
  peer.Memory().WriteU16(kTransponder, 0x4521);  // whatever was there before the replay
  peer.StartReplay(Recorded());
  RunSteps(peer, {
      {"replay", 0, "OK 0.000 4.000 playing", 0, 0x1825},  // the parked aircraft before the first
      {nullptr, 0.5, "OK 0.500 4.000 playing", 0, 0x1825},
      {nullptr, 0.6, nullptr, 0x0101, 0x1825},
      {"replay at 3.5", 0, "OK", 0x0103, 0x1900},
      {"replay at 1.5", 0, "OK", 0x0101, 0x1825},           // back: rebuilt from the start
      {"peek 05C4 4", 0, "OK EFCD0100", 0x0101, 0x1825},
      {"replay at 2", 0, "OK", 0x0102, 0x1825},             // an exchange's own millisecond
      {"replay pause", 0, "OK", 0x0102, 0x1825},
      {nullptr, 1, "OK 2.000 4.000 paused", 0x0102, 0x1825},
      {"replay on", 0, "OK", 0x0102, 0x1825},
      {nullptr, 1, "OK 3.000 4.000 playing", 0x0103, 0x1900},
      {nullptr, 5, "OK 4.000 4.000 paused", 0x0104, 0x1900},  // a stalled host jumps 1 s at most
      {nullptr, 1, "OK 4.000 4.000 paused", 0x0104, 0x1900},  // held at the end
      {"peek 0354 2", 0, "OK 0070", 0x0104, 0x1900},          // never read: the parked aircraft's
      {"peek 3304 4", 0, "OK 00002040", 0x0104, 0x1900},      // the stand-in's own identity
      {"replay on", 0, "OK", 0, 0x1825},                      // from the start again
  });
}

TEST(Replay, LoopsRoundAndPlaysAtItsSpeed) {
  SimPeer peer;
  peer.StartReplay(Recorded(true, 2));
  RunSteps(peer, {
      {nullptr, 0.75, "OK 1.500 4.000 playing", 0x0101, 0x1825},
      {nullptr, 1, "OK 3.500 4.000 playing", 0x0103, 0x1900},
      {nullptr, 1, "OK 1.500 4.000 playing", 0x0101, 0x1825},  // 5.5 s: round again
  });
}

// A looping recording a millisecond long that crowds many megabytes into its first moment (and
// writes over the stand-in's identity): every tick does a bounded part of the work, starting over
// at most once, the replay catching up over several ticks; the link still finds the simulator.
TEST(Replay, ARecordingCrowdedIntoAMomentCostsEachTickABoundedStep) {
  std::vector<testing::Exchange> crowded;
  for (int i = 0; i < 600; ++i) crowded.push_back({0, {Read(0x3300, std::vector<uint8_t>(30000, static_cast<uint8_t>(i)))}});
  crowded.push_back({1, {Read(kDme2, {0x01, 0x01})}});
  std::string error, note;
  std::unique_ptr<Replay> replay = Replay::FromBytes(testing::Record(crowded), &error, &note);
  ASSERT_TRUE(replay) << error;
  replay->SetLoop(true);
  replay->SetSpeed(100);
  Replay& played = *replay;
  SimPeer peer;
  peer.StartReplay(std::move(replay));
  const uint64_t step = Replay::kBytesPerStep + 30000 + 16;
  uint64_t before = played.AppliedBytes();
  EXPECT_LE(before, step);
  int caughtUp = 0;
  for (int tick = 0; tick < 12; ++tick) {
    peer.Tick(0.1);
    EXPECT_LE(played.AppliedBytes() - before, step) << "tick " << tick;
    before = played.AppliedBytes();
    caughtUp += !played.Behind();  // 18 MB at 4 MiB a tick: caught up every fifth tick or so
    EXPECT_EQ(peer.Control("peek 3304 4", nullptr), "OK 00002040");
  }
  EXPECT_GE(caughtUp, 1);
  EXPECT_LE(caughtUp, 4);
}

TEST(Replay, APanelsWriteHoldsUntilTheRecordingsValueThereChanges) {
  SimPeer peer;
  peer.StartReplay(Recorded());
  peer.Control("replay at 1.5", nullptr);
  peer.ClearJournal();
  // COM1 119.30, as a panel's command writes it through the link.
  uint8_t block[32] = {2, 0, 0, 0, 0x4E, 0x03, 0, 0, 2, 0, 0, 0, 0x30, 0x19};
  ASSERT_EQ(peer.HandleBlock(block, sizeof block), 1u);
  EXPECT_EQ(peer.Control("journal", nullptr), "OK 1\n1 W 034E 2 3019");
  RunSteps(peer, {
      {nullptr, 1, nullptr, 0x0102, 0x1930},  // the recording's COM1 the same: the command holds
      {nullptr, 1, nullptr, 0x0103, 0x1900},  // the recording's COM1 changes: it wins
  });
}

TEST(Replay, TheControlChannelSaysWhatItCannotDo) {
  SimPeer withoutRecording;
  EXPECT_EQ(withoutRecording.Control("replay", nullptr), "ERR no recording: start the stand-in with --replay FILE");
  SimPeer peer;
  peer.StartReplay(Recorded());
  const std::pair<const char*, const char*> rows[] = {
      {"replay at 4.001", "ERR SECONDS from 0 to 4.000"},  {"replay at 1.2345", "ERR SECONDS from 0 to 4.000"},
      {"replay at 1.", "ERR SECONDS from 0 to 4.000"},     {"replay at -1", "ERR SECONDS from 0 to 4.000"},
      {"replay at", "ERR usage: replay [at SECONDS|pause|on]"},
      {"replay stop", "ERR usage: replay [at SECONDS|pause|on]"},
      {"fly on", "ERR a recording is replayed: the circuit flies only without --replay"},
      {"fly at 100", "ERR a recording is replayed: the circuit flies only without --replay"},
      {"REPLAY AT 4", "OK"},
  };
  for (const auto& [line, answer] : rows) EXPECT_EQ(peer.Control(line, nullptr), answer) << line;
}

TEST(Replay, ARecordingCutShortIsReplayedUpToItsLastWholeExchangeAndSaysSo) {
  const std::string file = testing::Record(kRecorded);
  std::string error, note;
  const std::unique_ptr<Replay> replay = Replay::FromBytes(file.substr(0, file.size() - 3), &error, &note);
  ASSERT_TRUE(replay) << error;
  EXPECT_EQ(replay->Length(), 3.0);
  EXPECT_EQ(note.rfind("the last record is cut short (frame 5, byte ", 0), 0u) << note;
  EXPECT_NE(note.find("): replaying the 3.0 s before it"), std::string::npos) << note;
}

// The recording shipped in the tree, the README's example: whole, and a moment reached by a
// jump is the same moment reached by playing.
TEST(Replay, TheShippedRecordingJumpsWhereItPlays) {
  const std::string bytes = testing::FileBytes(std::string(TAVELOR_SOURCE_DIR) + "/recordings/circuit-approach.tvr");
  std::string error, note;
  SimPeer played, jumped;
  played.StartReplay(Replay::FromBytes(bytes, &error, &note));
  ASSERT_EQ(error, "");
  EXPECT_EQ(note, "");
  jumped.StartReplay(Replay::FromBytes(bytes, &error, &note));
  for (int second = 1; second <= 60; ++second) played.Tick(1);
  jumped.Control("replay at 50", nullptr);
  jumped.Control("replay at 60", nullptr);
  EXPECT_EQ(played.Control("peek 0 65536", nullptr), jumped.Control("peek 0 65536", nullptr));
}

}  // namespace
}  // namespace tavelor::sim
