// FlightGear as the memory's source: the values of the table's properties (property_map.h) come
// in from a running FlightGear through its link (a thread of its own, flightgear_link.h) and are
// written to their offsets right before an exchange reads them; what a panel writes to an
// offset with a row that goes out is sent to FlightGear, whose answer then comes back in the same
// way, so a FlightGear that refuses or clamps a value has the last word.
//
// When FlightGear is not there (not started yet, killed, restarting) the panels see the last
// values it gave; once it has been gone for kParkedAfter, the parked aircraft's values (what the
// memory held when the link started) stand in for them until it is back.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/flightgear/property_map.h"
#include "sim/memory_source.h"

namespace tavelor::sim::flightgear {

inline constexpr double kParkedAfter = 30;  // seconds without FlightGear

// What the link tells its source, from the link's own thread.
class LinkListener {
 public:
  virtual ~LinkListener() = default;
  virtual void Connected() = 0;
  virtual void Lost() = 0;
  // A property's value (`property` indexes the properties the link was given).
  virtual void Value(size_t property, PropertyValue value) = 0;
  // FlightGear has no value for these properties (asked for at connection, no answer with one
  // came): told once a connection's every property has been asked for.
  virtual void Missing(std::vector<size_t> properties) = 0;
};

// The connection, as the source sees it: started once, it keeps itself up; sets are safe from
// any thread, and a later value for the same property takes the place of one not yet sent.
class PropertyLink {
 public:
  virtual ~PropertyLink() = default;
  virtual void Start(LinkListener& listener) = 0;
  virtual void Set(size_t property, double value) = 0;
  virtual std::string Address() const = 0;
};

// The properties the source watches besides the table's: whether FlightGear is paused, and its
// aircraft.
inline constexpr const char* kPausedProperty = "/sim/freeze/master";
inline constexpr const char* kAircraftProperty = "/sim/aircraft";

class FlightGearSource : public MemorySource, private LinkListener {
 public:
  using Say = std::function<void(const std::string& line)>;

  // The properties a link is to watch: the map's, then the two above.
  static std::vector<std::string> WatchedProperties(const PropertyMap& map);

  // `memory` holds what stands in while FlightGear is away (the parked aircraft). `userMap`:
  // whether the map has rows of the user's, so an aircraft other than the c172p is no surprise.
  FlightGearSource(PropertyMap map, std::unique_ptr<PropertyLink> link, const OffsetMemory& memory, Say say,
                   bool userMap);
  ~FlightGearSource() override;

  void Advance(OffsetMemory& memory, double seconds) override;
  bool Moving() const override { return true; }  // the clock of the parked fallback runs
  void Refresh(OffsetMemory& memory) override;
  void Written(const OffsetMemory& memory, uint32_t offset, uint32_t size) override;

  // The control channel's `flightgear`: "connected 127.0.0.1:5400 c172p, 180 of 210 rows fed,
  // 5321 values in, 3 sets out", "waiting 127.0.0.1:5400 ..." or "parked ...".
  std::string StatusLine() const;

 private:
  void Connected() override;
  void Lost() override;
  void Value(size_t property, PropertyValue value) override;
  void Missing(std::vector<size_t> properties) override;

  void Apply(OffsetMemory& memory, const std::vector<bool>& changed);
  void WatchStatus(size_t property, const PropertyValue& value);

  PropertyMap map_;
  std::unique_ptr<PropertyLink> link_;
  Say say_;
  bool userMap_;
  std::vector<std::vector<uint8_t>> parked_;  // each in-row's bytes as the parked aircraft has them
  std::vector<std::optional<PropertyValue>> values_;  // the latest of each property, once known
  std::vector<std::optional<double>> sent_;  // each out-row's value as last agreed with FlightGear
  std::vector<bool> missing_;                // properties FlightGear does not have (told once)

  // Filled by the link's thread, emptied by Refresh.
  mutable std::mutex mutex_;
  std::vector<std::pair<size_t, PropertyValue>> arrived_;
  std::vector<size_t> newlyMissing_;
  bool connected_ = false;
  bool reconnected_ = false;  // every value comes again: apply them all
  uint64_t valuesIn_ = 0, setsOut_ = 0;

  // The sim thread's own.
  double awaySeconds_ = 0;  // since FlightGear was last there
  bool showingParked_ = false;  // the parked aircraft stands in
  bool paused_ = false;
  std::string aircraft_;
};

}  // namespace tavelor::sim::flightgear
