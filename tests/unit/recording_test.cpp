// The recording's file: what is written comes back, a file cut anywhere reads up to its last
// whole exchange, damage stops the reading where it is, and anything else is refused.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "recording/new_file.h"
#include "recording/recording_format.h"
#include "support/recordings.h"

namespace tavelor::testing {
namespace {

using End = recording::RecordingReader::End;

// A panel's polls as they come: the same shape again with some values changed, a second shape
// sharing slots, a slot met twice in one exchange (read, written, read again), a write of no
// bytes, an exchange of nothing, and a clock that goes back (kept at the last time).
const std::vector<Exchange> kFlight = {
    {1000, {Read(0x034E, {0x50, 0x18}), Read(0x0300, {0x7B, 0x00}), Read(0x0560, std::vector<uint8_t>(8, 1))}},
    {1100, {Read(0x034E, {0x50, 0x18}), Read(0x0300, {0x7C, 0x00}), Read(0x0560, std::vector<uint8_t>(8, 1))}},
    {1100, {Read(0x034E, {0x50, 0x18}), Read(0x0300, {0x7C, 0x00}), Read(0x0560, std::vector<uint8_t>(8, 2))}},
    {1250, {Read(0x0300, {0x7C, 0x00}), Read(0x0354, {0x00, 0x70})}},
    {1300, {Read(0x034E, {0x50, 0x18}), Write(0x034E, {0x00, 0x19}), Read(0x034E, {0x00, 0x19})}},
    {1300, {Write(0x3110, {})}},
    {1400, {}},
    {1200, {Read(0x0300, {0x7D, 0x00}), Read(0x0354, {0x00, 0x70})}},
};

// The first `count` exchanges as the reader gives them back.
std::vector<Exchange> Expected(size_t count = kFlight.size()) {
  std::vector<Exchange> expected(kFlight.begin(), kFlight.begin() + static_cast<long>(count));
  if (count == kFlight.size()) expected.back().ms = 1400;
  return expected;
}

// The frames' checksum is the standard CRC-32: a writer and reader that agreed on a wrong one
// would pass every other test here.
TEST(Recording, FramesCarryTheStandardCrc32) {
  const std::string check = "123456789";
  EXPECT_EQ(recording::Crc32(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
}

// The recording's file is created in one step: whatever stands at its name is left alone, a
// link is not followed (its target not made or changed) and a pipe does not hold the start.
TEST(Recording, ItsFileIsNewOrNothingWhateverStandsAtItsName) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tavelor-new-file-test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string target = (folder / "target").string();
  const struct {
    const char* name;
    std::function<void(const std::string&)> plant;
    bool created;
  } cases[] = {
      {"free", [](const std::string&) {}, true},
      {"file", [](const std::string& at) { std::ofstream(at) << "kept"; }, false},
      {"link", [&](const std::string& at) { std::filesystem::create_symlink(target, at); }, false},
      {"pipe", [](const std::string& at) { ::mkfifo(at.c_str(), 0600); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string at = (folder / c.name).string();
    c.plant(at);
    errno = 0;
    std::FILE* file = recording::CreateNewFile(at);
    EXPECT_EQ(file != nullptr, c.created);
    if (file) std::fclose(file);
    if (!c.created) {
      EXPECT_EQ(errno, EEXIST);
    }
    EXPECT_FALSE(std::filesystem::exists(target)) << "the link was followed";
  }
  EXPECT_EQ(FileBytes((folder / "file").string()), "kept");
  std::filesystem::remove_all(folder);
}

TEST(Recording, AnUnchangedPollCostsAFewBytesHoweverManyRecordsItHas) {
  Exchange poll{0, {}};
  for (uint32_t i = 0; i < 60; ++i) poll.records.push_back(Read(0x1000 + 8 * i, std::vector<uint8_t>(8, 7)));
  std::vector<size_t> ends;
  std::vector<Exchange> polls(3, poll);
  polls[1].ms = 100, polls[2].ms = 200;
  polls[2].records[5].bytes[0] = 9;
  Record(polls, &ends);
  EXPECT_LE(ends[1] - ends[0], 16u) << "nothing changed";
  EXPECT_LE(ends[2] - ends[1], 24u) << "one value of 8 bytes changed";
}

// Cut at its very end, the file is whole: every exchange comes back with its time and bytes.
TEST(Recording, AFileCutAnywhereReadsUpToItsLastWholeExchange) {
  std::vector<size_t> ends;
  const std::string file = Record(kFlight, &ends);
  const size_t headerEnd = Record({}).size();
  for (size_t cut = 0; cut <= file.size(); ++cut) {
    const ReadBack back = ReadRecording(file.substr(0, cut));
    size_t whole = 0;
    while (whole < ends.size() && ends[whole] <= cut) ++whole;
    if (!back.error.empty()) {
      EXPECT_LT(cut, headerEnd) << "refused a file cut at " << cut << " that holds its header: " << back.error;
      continue;
    }
    EXPECT_EQ(back.exchanges, Expected(whole)) << "cut at " << cut;
    const bool atFrameEnd = cut == headerEnd || (whole > 0 && ends[whole - 1] == cut);
    EXPECT_EQ(back.end, atFrameEnd ? End::kComplete : End::kCut) << "cut at " << cut << ": " << back.problem;
    EXPECT_EQ(back.problem.find("the last record is cut short") == 0, !atFrameEnd) << back.problem;
  }
}

TEST(Recording, DamageStopsTheReadingAtTheDamagedExchange) {
  std::vector<size_t> ends;
  const std::string file = Record(kFlight, &ends);
  struct Row {
    const char* what;
    size_t at;  // a byte of the fourth exchange's frame
  };
  const Row rows[] = {{"its length", ends[2]}, {"its payload", ends[2] + 3}, {"its checksum", ends[3] - 1}};
  for (const Row& row : rows) {
    std::string damaged = file;
    damaged[row.at] = static_cast<char>(damaged[row.at] ^ 0x40);
    const ReadBack back = ReadRecording(damaged);
    EXPECT_EQ(back.exchanges, Expected(3)) << row.what;
    EXPECT_NE(back.end, End::kComplete) << row.what;
    EXPECT_NE(back.problem.find("frame 5"), std::string::npos) << row.what << ": " << back.problem;
  }
  // Zeros where a crash left the file's last blocks unwritten.
  const ReadBack zeros = ReadRecording(file.substr(0, ends[1]) + std::string(300, '\0'));
  EXPECT_EQ(zeros.exchanges.size(), 2u);
  EXPECT_EQ(zeros.end, End::kDamaged);
  EXPECT_NE(zeros.problem.find("length is damaged"), std::string::npos) << zeros.problem;
}

TEST(Recording, AFrameOfAKindALaterVersionAddsIsPassedOver) {
  std::vector<size_t> ends;
  const std::string file = Record(kFlight, &ends);
  const std::string payload = "Zsomething new";
  std::string frame;
  recording::PutVarint(frame, payload.size());
  frame += payload;
  recording::PutU32(frame, recording::Crc32(reinterpret_cast<const uint8_t*>(payload.data()), payload.size()));
  const ReadBack back = ReadRecording(file.substr(0, ends[1]) + frame + file.substr(ends[1]));
  EXPECT_EQ(back.exchanges, Expected());
  EXPECT_EQ(back.end, End::kComplete);
}

TEST(Recording, WhatIsNotARecordingIsRefusedWithTheReason) {
  const std::string good = Record({});
  std::string version2 = good;
  version2[8] = 2;
  const struct {
    std::string file;
    const char* error;
  } rows[] = {
      {"", "not a recording"},
      {"RADI 12.3:0.0:7000:", "not a recording"},
      {good.substr(0, 10), "its header is missing or damaged"},
      {version2, "a recording of format version 2; this program reads version 1"},
      {good.substr(0, good.size() - 1), "its header is missing or damaged"},
  };
  for (const auto& row : rows) {
    const ReadBack back = ReadRecording(row.file);
    EXPECT_NE(back.error.find(row.error), std::string::npos) << back.error;
  }
}

}  // namespace
}  // namespace tavelor::testing
