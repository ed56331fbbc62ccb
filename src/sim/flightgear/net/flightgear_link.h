// The link to a running FlightGear, through its HTTP server (fgfs --httpd=PORT) and the property
// listener WebSocket there: every watched property is listened to (FlightGear pushes a changed
// value, tied flight-model properties among them, about ten times a second) and asked for once
// at each connection (a listener tells changes only, and a paused FlightGear tells none). A set is followed by a get, so the answer
// comes back even when FlightGear refuses the value. Boost.Beast on Asio, on a thread of its
// own; the same on Linux and Windows.
//
// It connects by itself: at start, after a loss and after FlightGear restarts, waiting 1, 2, 4
// and 8 s and then 10 s between attempts; a FlightGear that answers nothing for 5 s (asked each
// second whether it is paused) counts as lost. One log line for each change.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/flightgear/flightgear_source.h"

namespace tavelor::sim::flightgear {

// The largest message taken from FlightGear: a property's value is far smaller.
inline constexpr size_t kLargestMessage = 64 * 1024;
// A text value is cut to this many characters (an identifier or a call sign is shorter).
inline constexpr size_t kLongestText = 256;

class FlightGearLink : public PropertyLink {
 public:
  using Say = FlightGearSource::Say;
  FlightGearLink(std::string host, int port, std::vector<std::string> properties, Say say);
  ~FlightGearLink() override;

  void Start(LinkListener& listener) override;
  void Set(size_t property, double value) override;
  std::string Address() const override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A property path as FlightGear writes it back: an index of 0 is left out
// (/ai/models/aircraft[0]/id is /ai/models/aircraft/id).
std::string CanonicalPath(std::string_view path);

// One message of FlightGear's listener, {"path": ..., "value": ...}: the path, and the value
// when it has one (a node without a value has none; a bool is 1 or 0; a text is cut to
// kLongestText). False when it is no such message.
bool ReadPropertyMessage(std::string_view message, std::string* path, std::optional<PropertyValue>* value);

}  // namespace tavelor::sim::flightgear
