#include "support/sim_link.h"

#include <stdexcept>
#include <utility>

namespace tavelor::testing {

SimLink::SimLink() {
  transport.peer = [this](uint8_t* block) { return peer.HandleBlock(block, ipc::kBlockSize); };
  uint32_t code = 0;
  if (!IpcOpen(client, 0, &code)) throw std::runtime_error("link did not open: " + std::to_string(code));
  handshakeExchanges_ = peer.Exchanges();
  peer.ClearJournal();
}

std::vector<sim::JournalEntry> SimLink::TakeJournal() {
  std::vector<sim::JournalEntry> entries(peer.Journal().begin(), peer.Journal().end());
  peer.ClearJournal();
  return entries;
}

LogCapture::LogCapture(RequestState& state) : state_(state), saved_(std::move(state.log)) {
  state_.log = [this](const std::string& line) { lines.push_back(line); };
}

LogCapture::~LogCapture() { state_.log = std::move(saved_); }

std::vector<uint8_t> Bytes(uint64_t value, size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

}  // namespace tavelor::testing
