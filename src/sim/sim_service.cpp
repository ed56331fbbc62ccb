#include "sim/sim_service.h"

#include <algorithm>
#include <cstdio>

#include "sim/flightgear/flightgear_source.h"
#include "sim/flightgear/net/flightgear_link.h"
#include "sim/replay.h"
#include "sim/world/parked_aircraft.h"
#include "simlink/ipc_records.h"

namespace tavelor::sim {

SimService::SimService(const SimOptions& options) : options_(options), peer_(options.peer) {
  if (options_.parkedAircraft) LoadParkedAircraft(peer_.Memory());
  if (options_.fly) peer_.StartFlying();
  if (!options_.replay.empty()) {
    std::string note;
    std::unique_ptr<Replay> replay = Replay::Load(options_.replay, &startProblem_, &note, options_.stop);
    if (replay) {
      replay->SetLoop(options_.loop);
      replay->SetSpeed(options_.speed);
      peer_.StartReplay(std::move(replay));
    }
    if (!note.empty()) Say(note);
  }
  if (!options_.flightgearHost.empty()) {
    using namespace flightgear;
    PropertyMap map;
    startProblem_ = BuildPropertyMap(options_.flightgearMap, &map);
    if (startProblem_.empty()) {
      auto link = std::make_unique<FlightGearLink>(options_.flightgearHost, options_.flightgearPort,
                                                   FlightGearSource::WatchedProperties(map), &SimService::Say);
      peer_.StartFlightGear(std::make_unique<FlightGearSource>(std::move(map), std::move(link), peer_.Memory(),
                                                               &SimService::Say, !options_.flightgearMap.empty()));
    }
  }
  lastTick_ = Clock::now();
}

void SimService::Tick(Clock::time_point now) {
  const std::chrono::duration<double> passed = now - lastTick_;
  lastTick_ = now;
  if (Flying()) peer_.Tick(passed.count());
}

uint32_t SimService::Exchange(uint8_t* view, size_t mappedSize) {
  if (!view || mappedSize == 0) return peer_.HandleMissingBlock();
  // A smaller object than the link's block is worked within its own size.
  return peer_.HandleBlock(view, std::min<size_t>(ipc::kBlockSize, mappedSize));
}

bool SimService::AcceptControl(ControlId id, std::optional<ControlId>* evicted) {
  const Clock::time_point now = Clock::now();
  if (clients_.size() >= kMaxControlClients) {
    auto quietest = clients_.end();
    for (auto it = clients_.begin(); it != clients_.end(); ++it) {
      if (!it->second.ended && (quietest == clients_.end() || it->second.lastHeard < quietest->second.lastHeard))
        quietest = it;
    }
    if (!evicted || quietest == clients_.end() || now - quietest->second.lastHeard < kControlShareAfter) return false;
    *evicted = quietest->first;
    clients_.erase(quietest);
    if (!evictionSaid_) {
      Say("control client closed to make room for another: every slot was taken");
      evictionSaid_ = true;
    }
  }
  Client& client = clients_[id];
  client.lastHeard = now;
  return true;
}

bool SimService::ReceiveControl(ControlId id, const char* data, size_t size, bool atEnd) {
  Client& client = clients_[id];
  if (client.ended) return false;
  client.lastHeard = Clock::now();
  const bool quit = client.session.Receive(peer_, data, size, atEnd);
  if (client.session.SpokeHttp()) {
    Say("control client refused: it spoke HTTP, as a web page in a browser would; nothing it sent was run");
    client.ended = true;
    client.closeBy = Clock::now();
  } else if (client.session.CutOff()) {
    Say("control client cut off: more than " + std::to_string(kOutputHighWater) +
        " bytes of answers unread");
    client.ended = true;
    client.closeBy = Clock::now();
  } else if (atEnd) {
    client.ended = true;
    client.closeBy = Clock::now() + kFlushTimeout;
  }
  return quit;
}

std::string& SimService::ControlOutput(ControlId id) { return clients_[id].session.Output(); }

bool SimService::WantsInput(ControlId id) const {
  auto it = clients_.find(id);
  return it != clients_.end() && !it->second.ended &&
         it->second.session.Output().size() < kOutputHighWater;
}

bool SimService::ControlDone(ControlId id, Clock::time_point now) const {
  auto it = clients_.find(id);
  if (it == clients_.end()) return true;
  const Client& client = it->second;
  if (client.session.CutOff()) return true;
  if (!client.ended && client.session.Output().empty() && now - client.lastHeard >= kControlIdle) return true;
  return client.ended && (client.session.Output().empty() || now >= client.closeBy);
}

SimService::Clock::time_point SimService::NextControlDeadline() const {
  auto nearest = Clock::time_point::max();
  for (const auto& [id, client] : clients_)
    nearest = std::min(nearest, client.ended ? client.closeBy : client.lastHeard + kControlIdle);
  return nearest;
}

void SimService::AcceptFailed(const std::string& reason) {
  if (acceptFailureSaid_) return;
  acceptFailureSaid_ = true;
  Say("cannot accept a connection (" + reason + "); trying again every quarter of a second");
}

void SimService::Say(const std::string& text) {
  std::fprintf(stderr, "tavelor-sim: %s\n", text.c_str());
  std::fflush(stderr);
}

}  // namespace tavelor::sim
