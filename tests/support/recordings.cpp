#include "support/recordings.h"

#include "recording/recording_writer.h"

namespace tavelor::testing {

std::string Record(const std::vector<Exchange>& exchanges, std::vector<size_t>* frameEnds) {
  recording::RecordingWriter writer({1700000000000, "a test"});
  std::string file;
  for (const Exchange& exchange : exchanges) {
    std::vector<LinkRecord> records;
    for (const Rec& r : exchange.records)
      records.push_back({r.write, r.offset, static_cast<uint32_t>(r.bytes.size()), r.bytes.data()});
    file += writer.Pending();
    writer.Pending().clear();
    writer.Exchange(exchange.ms, records);
    if (frameEnds) frameEnds->push_back(file.size() + writer.Pending().size());
  }
  return file + writer.Pending();
}

ReadBack ReadRecording(const std::string& file) {
  ReadBack back;
  recording::RecordingReader reader(file);
  if (!reader.Open(&back.error)) return back;
  recording::RecordedExchange exchange;
  while (reader.Next(&exchange)) {
    Exchange& got = back.exchanges.emplace_back(Exchange{exchange.ms, {}});
    for (const recording::RecordedRecord& r : exchange.records)
      got.records.push_back({r.write, r.offset, std::vector<uint8_t>(r.bytes, r.bytes + r.size)});
  }
  back.end = reader.Ended();
  back.problem = reader.Problem();
  return back;
}

}  // namespace tavelor::testing
