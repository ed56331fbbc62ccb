#include "support/recordings.h"

#include <cstdio>
#include <thread>

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

std::vector<std::string> Poll(Client& client, const std::vector<std::string>& codes, size_t count,
                              milliseconds pause) {
  std::vector<std::string> replies;
  for (size_t i = 0; i < count; ++i) {
    replies.push_back(client.Ask(codes[i % codes.size()]));
    std::this_thread::sleep_for(pause);
  }
  return replies;
}

std::vector<std::string> PollReplay(SimControl& control, Client& client, const std::vector<std::string>& codes,
                                    const std::vector<Exchange>& exchanges) {
  std::vector<std::string> replies;
  for (size_t i = 0; i < exchanges.size(); ++i) {
    const std::string moved = control.Command(ReplayAt(exchanges[i].ms));
    replies.push_back(moved == "OK" ? client.Ask(codes[i % codes.size()]) : ReplayAt(exchanges[i].ms) + ": " + moved);
  }
  return replies;
}

std::string ReplayAt(uint64_t ms) {
  char line[40];
  std::snprintf(line, sizeof line, "replay at %.3f", static_cast<double>(ms) / 1000);
  return line;
}

}  // namespace tavelor::testing
