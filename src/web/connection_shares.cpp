#include "web/connection_shares.h"

namespace tavelor::web {

namespace {

// Addresses refused and not let in since are remembered up to this many; past it they are
// forgotten, so a crowd of addresses can cost a repeated line but never the memory.
constexpr size_t kMostToldAddresses = 4096;

}  // namespace

ConnectionShares::Decision ConnectionShares::Take(const std::string& address) {
  const auto found = byAddress_.find(address);
  const size_t mine = found == byAddress_.end() ? 0 : found->second;
  std::string refusal;
  if (mine >= perAddress_) {
    refusal = "Connections from " + address + " refused: " + std::to_string(mine) +
              " open from that address, the most allowed for one";
  } else if (open_ >= total_) {
    refusal = "Connections from " + address + " refused: " + std::to_string(open_) +
              " open, the most allowed";
  }
  if (!refusal.empty()) {
    if (told_.size() >= kMostToldAddresses) told_.clear();
    if (!told_.insert(address).second) refusal.clear();
    return {false, refusal};
  }
  if (mine == 0) told_.erase(address);
  ++byAddress_[address];
  ++open_;
  return {true, {}};
}

void ConnectionShares::Release(const std::string& address) {
  const auto found = byAddress_.find(address);
  if (found == byAddress_.end()) return;
  --open_;
  if (--found->second == 0) byAddress_.erase(found);
}

}  // namespace tavelor::web
