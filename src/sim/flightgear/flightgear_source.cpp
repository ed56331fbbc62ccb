#include "sim/flightgear/flightgear_source.h"

#include <cmath>
#include <cstdio>

namespace tavelor::sim::flightgear {

namespace {

// The aircraft the built-in table is written for.
constexpr const char* kBuiltInAircraft = "c172p";

}  // namespace

std::vector<std::string> FlightGearSource::WatchedProperties(const PropertyMap& map) {
  std::vector<std::string> properties = map.properties;
  properties.push_back(kPausedProperty);
  properties.push_back(kAircraftProperty);
  return properties;
}

FlightGearSource::FlightGearSource(PropertyMap map, std::unique_ptr<PropertyLink> link, const OffsetMemory& memory,
                                   Say say, bool userMap)
    : map_(std::move(map)), link_(std::move(link)), say_(std::move(say)), userMap_(userMap) {
  const size_t watched = map_.properties.size() + 2;
  values_.resize(watched);
  missing_.resize(watched);
  sent_.resize(map_.rows.size());
  for (size_t i = 0; i < map_.rows.size(); ++i) {
    const MapRow& row = map_.rows[i];
    std::vector<uint8_t> bytes(row.conversion->size);
    memory.Read(row.offset, row.conversion->size, bytes.data());
    parked_.push_back(std::move(bytes));
    if (row.Out()) sent_[i] = row.conversion->out(memory, row.offset, row.argument);
  }
  link_->Start(*this);
}

// The link's thread ends before anything it reports to goes.
FlightGearSource::~FlightGearSource() { link_.reset(); }

void FlightGearSource::Connected() {
  std::lock_guard lock(mutex_);
  connected_ = true;
  reconnected_ = true;
}

void FlightGearSource::Lost() {
  std::lock_guard lock(mutex_);
  connected_ = false;
}

void FlightGearSource::Value(size_t property, PropertyValue value) {
  std::lock_guard lock(mutex_);
  // A link keeps at most one value a property waiting: what FlightGear sends faster than the
  // panels read replaces what they would never have seen.
  for (auto& [waiting, had] : arrived_) {
    if (waiting == property) {
      had = std::move(value);
      ++valuesIn_;
      return;
    }
  }
  arrived_.emplace_back(property, std::move(value));
  ++valuesIn_;
}

void FlightGearSource::Missing(std::vector<size_t> properties) {
  std::lock_guard lock(mutex_);
  newlyMissing_.insert(newlyMissing_.end(), properties.begin(), properties.end());
}

void FlightGearSource::Advance(OffsetMemory& memory, double seconds) {
  // Between exchanges too: what FlightGear said is told in the log at once.
  Refresh(memory);
  bool connected;
  {
    std::lock_guard lock(mutex_);
    connected = connected_;
  }
  if (connected) {
    awaySeconds_ = 0;
    return;
  }
  awaySeconds_ += std::isfinite(seconds) && seconds > 0 ? seconds : 0;
  if (awaySeconds_ < kParkedAfter || showingParked_) return;
  // Long enough gone: the parked aircraft, until FlightGear's values come again.
  showingParked_ = true;
  for (size_t i = 0; i < map_.rows.size(); ++i) {
    const MapRow& row = map_.rows[i];
    if (row.In()) memory.Write(row.offset, row.conversion->size, parked_[i].data());
  }
  for (auto& value : values_) value.reset();
  say_("no FlightGear for " + std::to_string(static_cast<int>(kParkedAfter)) +
       " s: the panels see the parked aircraft until it is back");
}

void FlightGearSource::Refresh(OffsetMemory& memory) {
  std::vector<std::pair<size_t, PropertyValue>> arrived;
  std::vector<size_t> missing;
  bool all = false;
  {
    std::lock_guard lock(mutex_);
    if (arrived_.empty() && newlyMissing_.empty() && !reconnected_) return;
    arrived.swap(arrived_);
    missing.swap(newlyMissing_);
    all = reconnected_;
    reconnected_ = false;
  }
  // One line for what a connection found missing (an aircraft without some instrument, fewer
  // AI aircraft than the traffic table's slots), naming the first.
  size_t newly = 0;
  std::string first;
  for (const size_t property : missing) {
    if (property >= map_.properties.size() || missing_[property]) continue;
    missing_[property] = true;
    if (newly++ > 0) continue;
    for (size_t i = 0; i < map_.rows.size() && first.empty(); ++i) {
      if (map_.propertyOf[i] == property) first = map_.rows[i].where + ": " + map_.rows[i].property;
    }
  }
  if (newly == 1) say_(first + ": FlightGear has no value for it; its rows wait for one");
  if (newly > 1) {
    say_("FlightGear has no value for " + std::to_string(newly) + " properties of the table (the first: " + first +
         "); their rows wait for one");
  }
  std::vector<bool> changed(values_.size(), all);
  for (auto& [property, value] : arrived) {
    if (property >= values_.size()) continue;
    missing_[property] = false;
    WatchStatus(property, value);
    values_[property] = std::move(value);
    changed[property] = true;
  }
  if (!arrived.empty()) showingParked_ = false;
  Apply(memory, changed);
}

// Every in-row of an offset one of whose properties changed is written again, in the table's
// order: rows that share an offset (a light's bit, the TO and FROM flags, a traffic slot's id
// and whether it is valid) come out as one.
void FlightGearSource::Apply(OffsetMemory& memory, const std::vector<bool>& changed) {
  std::vector<uint32_t> offsets;
  for (size_t i = 0; i < map_.rows.size(); ++i) {
    if (map_.rows[i].In() && changed[map_.propertyOf[i]]) offsets.push_back(map_.rows[i].offset);
  }
  if (offsets.empty()) return;
  const auto affected = [&offsets](uint32_t offset) {
    for (const uint32_t o : offsets) {
      if (o == offset) return true;
    }
    return false;
  };
  uint8_t bytes[64];
  for (size_t i = 0; i < map_.rows.size(); ++i) {
    const MapRow& row = map_.rows[i];
    if (!affected(row.offset)) continue;
    const std::optional<PropertyValue>& value = values_[map_.propertyOf[i]];
    if (row.In() && value) {
      memory.Read(row.offset, row.conversion->size, bytes);
      row.conversion->in(*value, bytes, row.argument);
      memory.Write(row.offset, row.conversion->size, bytes);
    }
  }
  // What FlightGear says is what it has: a panel's write that differs from it goes out again.
  for (size_t i = 0; i < map_.rows.size(); ++i) {
    const MapRow& row = map_.rows[i];
    if (row.Out() && row.In() && affected(row.offset)) sent_[i] = row.conversion->out(memory, row.offset, row.argument);
  }
}

void FlightGearSource::Written(const OffsetMemory& memory, uint32_t offset, uint32_t size) {
  (void)offset;
  (void)size;
  // A write may move an offset of the table's beside its own (a COM radio's BCD form moves its
  // hertz): every out-row is compared with what FlightGear last had.
  for (size_t i = 0; i < map_.rows.size(); ++i) {
    const MapRow& row = map_.rows[i];
    if (!row.Out()) continue;
    const std::optional<double> now = row.conversion->out(memory, row.offset, row.argument);
    if (!now || (sent_[i] && *sent_[i] == *now)) continue;
    sent_[i] = now;
    link_->Set(map_.propertyOf[i], *now);
    std::lock_guard lock(mutex_);
    ++setsOut_;
  }
}

void FlightGearSource::WatchStatus(size_t property, const PropertyValue& value) {
  const size_t paused = map_.properties.size(), aircraft = paused + 1;
  if (property == paused) {
    const bool now = !value.text && value.number != 0;
    if (now != paused_) say_(now ? "FlightGear paused: the panels see it standing still" : "FlightGear runs again");
    paused_ = now;
  } else if (property == aircraft && value.text && value.string != aircraft_) {
    const bool first = aircraft_.empty();
    aircraft_ = value.string.substr(0, 64);
    std::string line = (first ? "FlightGear flies the " : "FlightGear's aircraft is now the ") + aircraft_;
    if (!userMap_ && aircraft_ != kBuiltInAircraft) {
      line += std::string("; the built-in table is written for the ") + kBuiltInAircraft +
              ": rows whose property it lacks wait, and --flightgear-map FILE adds its own";
    }
    say_(line);
  }
}

std::string FlightGearSource::StatusLine() const {
  size_t fed = 0;
  for (size_t i = 0; i < map_.rows.size(); ++i) {
    if (values_[map_.propertyOf[i]]) ++fed;
  }
  std::lock_guard lock(mutex_);
  const std::string state = connected_ ? "connected" : showingParked_ ? "parked" : "waiting";
  return state + " " + link_->Address() + (aircraft_.empty() ? "" : " " + aircraft_) + (paused_ ? " paused" : "") +
         ", " + std::to_string(fed) + " of " + std::to_string(map_.rows.size()) + " rows fed, " +
         std::to_string(valuesIn_) + " values in, " + std::to_string(setsOut_) + " sets out";
}

}  // namespace tavelor::sim::flightgear
