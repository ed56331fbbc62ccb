// A recording from anywhere (a bug report, a damaged disk): the input is the whole file. The
// reader must stop at the first bad frame without reading outside the file or holding more than
// a block's worth per exchange; what it gives, written again, must read back the same; and the
// replay must play it and jump about in it, whatever it holds.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "recording/recording_format.h"
#include "recording/recording_reader.h"
#include "recording/recording_writer.h"
#include "sim/replay.h"
#include "sim/sim_peer.h"

using namespace tavelor;

namespace {

struct Copy {
  uint64_t ms;
  std::vector<LinkRecord> records;
  std::vector<std::vector<uint8_t>> bytes;
};

// An input starting with '#' is frames' payloads instead, each after a byte of its length, put
// behind a good header with their lengths and checksums: the fuzzer cannot make checksums, and
// without them it would never reach the exchanges' contents.
std::string FileOf(const uint8_t* data, size_t size) {
  if (size == 0 || data[0] != '#') return std::string(reinterpret_cast<const char*>(data), size);
  std::string file = recording::RecordingWriter({0, "fuzz"}).Pending();
  for (size_t at = 1; at < size;) {
    const size_t length = std::min<size_t>(data[at], size - at - 1);
    const std::string payload(reinterpret_cast<const char*>(data) + at + 1, length);
    recording::PutVarint(file, payload.size());
    file += payload;
    recording::PutU32(file, recording::Crc32(reinterpret_cast<const uint8_t*>(payload.data()), payload.size()));
    at += 1 + length;
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = FileOf(data, size);
  recording::RecordingReader reader(file);
  std::string error;
  if (!reader.Open(&error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  std::vector<Copy> read;
  recording::RecordedExchange exchange;
  uint64_t last = 0;
  while (reader.Next(&exchange) && read.size() < 10000) {
    FUZZ_CHECK(exchange.ms >= last);
    last = exchange.ms;
    Copy& copy = read.emplace_back(Copy{exchange.ms, {}, {}});
    uint64_t total = 0;
    for (const recording::RecordedRecord& r : exchange.records) {
      total += r.size;
      copy.bytes.emplace_back(r.bytes, r.bytes + r.size);
    }
    FUZZ_CHECK(total <= recording::kMaxRecordSize);
    for (size_t i = 0; i < exchange.records.size(); ++i) {
      const recording::RecordedRecord& r = exchange.records[i];
      copy.records.push_back({r.write, r.offset, r.size, nullptr});
    }
  }
  FUZZ_CHECK(reader.Ended() != recording::RecordingReader::End::kNotYet || read.size() == 10000);

  // Written again, the exchanges read back as they were.
  recording::RecordingWriter writer(reader.Header());
  for (Copy& copy : read) {
    for (size_t i = 0; i < copy.records.size(); ++i) copy.records[i].bytes = copy.bytes[i].data();
    writer.Exchange(copy.ms, copy.records);
  }
  recording::RecordingReader again(writer.Pending());
  FUZZ_CHECK(again.Open(&error));
  for (const Copy& copy : read) {
    FUZZ_CHECK(again.Next(&exchange) && exchange.ms == copy.ms && exchange.records.size() == copy.records.size());
    for (size_t i = 0; i < copy.records.size(); ++i) {
      const recording::RecordedRecord& r = exchange.records[i];
      FUZZ_CHECK(r.write == copy.records[i].write && r.offset == copy.records[i].offset &&
                 std::vector<uint8_t>(r.bytes, r.bytes + r.size) == copy.bytes[i]);
    }
  }
  FUZZ_CHECK(!again.Next(&exchange) && again.Ended() == recording::RecordingReader::End::kComplete);

  std::string note;
  std::unique_ptr<sim::Replay> replay = sim::Replay::FromBytes(file, &error, &note);
  FUZZ_CHECK(replay != nullptr);
  sim::SimPeer peer;
  peer.StartReplay(std::move(replay));
  peer.Tick(0.5);
  peer.Control("replay at 0.25", nullptr);
  peer.Tick(1);
  FUZZ_CHECK(peer.Control("replay", nullptr).rfind("OK ", 0) == 0);
  return 0;
}
