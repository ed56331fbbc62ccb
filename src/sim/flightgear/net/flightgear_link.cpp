#include "sim/flightgear/net/flightgear_link.h"

#include <utility>  // before Asio 1.74's awaitable.hpp, which uses std::exchange without it

#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <cmath>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <unordered_map>

namespace tavelor::sim::flightgear {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
using tcp = asio::ip::tcp;
using Json = nlohmann::json;

constexpr auto kLongestRetry = std::chrono::seconds(10);
constexpr auto kAskAlive = std::chrono::seconds(1);
constexpr auto kSilentTooLong = std::chrono::seconds(5);
// Asked for after each batch: its answer says every property of the batch that has a value has
// answered (FlightGear answers in order; a property it lacks gets no answer, or none with a
// value, as a listener makes the node).
constexpr const char* kLastAsked = "/sim/signals/fdm-initialized";
// FlightGear's server drops what comes faster than it reads: the properties are asked for a
// batch at a time, the next once the batch's last answer is in.
constexpr size_t kBatch = 16;
constexpr auto kBatchAnswerWait = std::chrono::seconds(3);
// Asked each second: its answer shows FlightGear alive, and whether it is paused, which its
// listener cannot tell (a paused FlightGear pushes no changes, that one included).
constexpr const char* kAlive = kPausedProperty;
// FlightGear's listener looks for changes at most every so many seconds of simulated time (0.05
// unless this property says otherwise, read when a listener connection opens), while its record
// of what changed is renewed every frame: a change made in a frame it does not look at is never
// sent (a frequency set once, a switch: a third of them in a test at 18 frames a second), and a
// paused FlightGear sends nothing. A connection opened with another interval sets 0, every frame,
// and is opened again to take it.
constexpr const char* kUpdateInterval = "/sim/http/property-websocket/update-interval-secs";

std::string Command(const char* command, const std::string& node) {
  return Json{{"command", command}, {"node", node}}.dump();
}

}  // namespace

std::string CanonicalPath(std::string_view path) {
  std::string out(path);
  for (size_t at; (at = out.find("[0]")) != std::string::npos;) out.erase(at, 3);
  return out;
}

bool ReadPropertyMessage(std::string_view message, std::string* path, std::optional<PropertyValue>* value) {
  const Json json = Json::parse(message, nullptr, false);
  if (!json.is_object() || !json.contains("path") || !json["path"].is_string()) return false;
  *path = json["path"].get<std::string>();
  value->reset();
  if (!json.contains("value")) return true;
  const Json& v = json["value"];
  PropertyValue got;
  if (v.is_boolean()) {
    got.number = v.get<bool>() ? 1 : 0;
  } else if (v.is_number()) {
    got.number = v.get<double>();
    if (!std::isfinite(got.number)) return true;
  } else if (v.is_string()) {
    got.text = true;
    got.string = v.get<std::string>().substr(0, kLongestText);
  } else {
    return true;
  }
  *value = std::move(got);
  return true;
}

struct FlightGearLink::State {
  std::string host;
  int port;
  std::vector<std::string> properties;
  std::unordered_map<std::string, size_t> index;  // canonical path -> property
  Say say;
  LinkListener* listener = nullptr;

  asio::io_context io;
  tcp::resolver resolver{io};
  std::unique_ptr<beast::websocket::stream<beast::tcp_stream>> ws;
  asio::steady_timer retry{io};
  asio::steady_timer alive{io};
  beast::flat_buffer buffer;
  std::deque<std::string> outgoing;
  bool writing = false;
  unsigned connection = 0;
  bool up = false;
  std::chrono::seconds retryAfter{1};
  std::string lastWhy;       // the failure last told: the same one is not told again
  bool everUp = false;
  std::chrono::steady_clock::time_point heard;
  std::vector<bool> answered;
  bool sweeping = false;     // every property is being asked for, a batch at a time
  bool listening = false;    // the sweep of a new connection: listeners added, missing ones told
  size_t batchFrom = 0, batchTo = 0;
  std::chrono::steady_clock::time_point batchSent;
  std::vector<size_t> missing;  // of the sweep so far, told in one go at its end
  bool paused = false;
  // A new connection first learns its listener's interval: asked, then set when it was not 0.
  enum class Interval { kAsking, kSetting, kFollowing } interval = Interval::kAsking;
  std::optional<double> intervalSeen;
  bool reopened = false;  // the connection was opened again for the interval: it is taken as it is

  // Sets waiting for the link's thread: the latest value of each property.
  std::mutex mutex;
  std::vector<std::optional<double>> sets;
  bool flushPosted = false;

  std::thread thread;

  std::string Where() const { return host + ":" + std::to_string(port); }

  void Connect() {
    const unsigned serial = ++connection;
    resolver.async_resolve(host, std::to_string(port), [this, serial](beast::error_code error, tcp::resolver::results_type found) {
      if (serial != connection) return;
      if (error) return Fail("cannot find " + host + ": " + error.message());
      ws = std::make_unique<beast::websocket::stream<beast::tcp_stream>>(io);
      ws->read_message_max(kLargestMessage);
      beast::get_lowest_layer(*ws).expires_after(std::chrono::seconds(10));
      beast::get_lowest_layer(*ws).async_connect(found, [this, serial](beast::error_code error, const tcp::endpoint&) {
        if (serial != connection) return;
        if (error) return Fail(error.message());
        ws->async_handshake(Where(), "/PropertyListener", [this, serial](beast::error_code error) {
          if (serial != connection) return;
          if (error) return Fail("no property listener there (" + error.message() + "): start fgfs with --httpd=" + std::to_string(port));
          beast::get_lowest_layer(*ws).expires_never();
          Opened(serial);
        });
      });
    });
  }

  void Opened(unsigned serial) {
    up = true;
    heard = std::chrono::steady_clock::now();
    interval = Interval::kAsking;
    intervalSeen.reset();
    Send(Command("get", kUpdateInterval));  // no answer when FlightGear has no such property yet
    Send(Command("get", kLastAsked));
    Read(serial);
    KeepAlive(serial);
  }

  // The answer to the interval's questions is in (kLastAsked's answer follows them).
  void IntervalAnswered() {
    if (interval == Interval::kSetting) return Reopen();
    if ((intervalSeen && *intervalSeen == 0) || reopened) return Follow();
    // A listener makes the property when FlightGear has none, so that the set takes.
    interval = Interval::kSetting;
    Send(Command("addListener", kUpdateInterval));
    Send(Json{{"command", "set"}, {"node", kUpdateInterval}, {"value", 0}}.dump());
    Send(Command("get", kLastAsked));
  }

  void Follow() {
    interval = Interval::kFollowing;
    reopened = false;
    retryAfter = std::chrono::seconds(1);
    lastWhy.clear();
    say("FlightGear at " + Where() + (everUp ? " again" : "") + ": following " + std::to_string(properties.size()) +
        " properties");
    everUp = true;
    listener->Connected();
    paused = false;
    Sweep(true);
  }

  // Closed and opened again at once, told to no one: FlightGear was reachable all along.
  void Reopen() {
    reopened = true;
    Drop();
    Connect();
  }

  // The connection closed, what was to go on it dropped, its handlers told it is over.
  void Drop() {
    up = false;
    writing = false;
    outgoing.clear();
    ++connection;
    alive.cancel();
    if (ws) {
      beast::error_code ignored;
      beast::get_lowest_layer(*ws).socket().close(ignored);
    }
  }

  // Asks for every property, at a new connection also listening to each; and when FlightGear
  // pauses, whose listeners then go quiet, so the panels show exactly where it stopped.
  void Sweep(bool listen) {
    answered.assign(properties.size(), false);
    sweeping = true;
    listening = listen;
    missing.clear();
    batchTo = 0;
    NextBatch();
  }

  void NextBatch() {
    batchFrom = batchTo;
    batchTo = std::min(properties.size(), batchFrom + kBatch);
    for (size_t i = batchFrom; i < batchTo; ++i) {
      if (listening) Send(Command("addListener", properties[i]));
      Send(Command("get", properties[i]));
    }
    Send(Command("get", kLastAsked));
    batchSent = std::chrono::steady_clock::now();
  }

  void BatchAnswered() {
    if (listening) {
      for (size_t i = batchFrom; i < batchTo; ++i) {
        if (!answered[i]) missing.push_back(i);
      }
    }
    if (batchTo < properties.size()) return NextBatch();
    sweeping = false;
    if (!missing.empty()) listener->Missing(std::move(missing));
    missing.clear();
  }

  void Read(unsigned serial) {
    ws->async_read(buffer, [this, serial](beast::error_code error, size_t) {
      if (serial != connection) return;
      if (error) return Fail(error == beast::websocket::error::closed ? "FlightGear closed the connection" : error.message());
      heard = std::chrono::steady_clock::now();
      const std::string message = beast::buffers_to_string(buffer.data());
      buffer.consume(buffer.size());
      OnMessage(message);
      Read(serial);
    });
  }

  void OnMessage(std::string_view message) {
    std::string path;
    std::optional<PropertyValue> value;
    if (!ReadPropertyMessage(message, &path, &value)) return;
    const std::string canonical = CanonicalPath(path);
    if (interval != Interval::kFollowing) {
      if (canonical == kUpdateInterval && value && !value->text) intervalSeen = value->number;
      if (canonical == kLastAsked) IntervalAnswered();
      return;
    }
    if (sweeping && canonical == kLastAsked) return BatchAnswered();
    const auto found = index.find(canonical);
    if (found == index.end()) return;  // nothing of ours
    answered[found->second] = answered[found->second] || value.has_value();
    if (canonical == kPausedProperty && value) {
      const bool now = value->number != 0;
      if (now && !paused && !sweeping) Sweep(false);
      paused = now;
    }
    if (value) listener->Value(found->second, std::move(*value));
  }

  void Send(std::string frame) {
    outgoing.push_back(std::move(frame));
    if (!writing) WriteNext(connection);
  }

  void WriteNext(unsigned serial) {
    if (outgoing.empty() || !up) {
      writing = false;
      return;
    }
    writing = true;
    ws->text(true);
    ws->async_write(asio::buffer(outgoing.front()), [this, serial](beast::error_code error, size_t) {
      if (serial != connection) return;
      if (error) return Fail(error.message());
      outgoing.pop_front();
      WriteNext(serial);
    });
  }

  // Asks each second; a FlightGear that has said nothing for a while is taken for gone.
  void KeepAlive(unsigned serial) {
    alive.expires_after(kAskAlive);
    alive.async_wait([this, serial](beast::error_code error) {
      if (error || serial != connection) return;
      if (std::chrono::steady_clock::now() - heard > kSilentTooLong) {
        return Fail("no answer for " + std::to_string(kSilentTooLong.count()) + " s");
      }
      // A batch whose last answer never came (a frame FlightGear dropped) is asked for again,
      // so that the sweep cannot stall with properties never listened to.
      if (sweeping && std::chrono::steady_clock::now() - batchSent > kBatchAnswerWait) {
        batchTo = batchFrom;
        NextBatch();
      }
      Send(Command("get", kAlive));
      KeepAlive(serial);
    });
  }

  void Flush() {
    std::vector<std::pair<size_t, double>> due;
    {
      std::lock_guard lock(mutex);
      flushPosted = false;
      for (size_t i = 0; i < sets.size(); ++i) {
        if (sets[i]) due.emplace_back(i, *sets[i]);
        sets[i].reset();
      }
    }
    if (!up) return;  // FlightGear is away: what it will say when it is back stands
    for (const auto& [property, value] : due) {
      Send(Json{{"command", "set"}, {"node", properties[property]}, {"value", value}}.dump());
      Send(Command("get", properties[property]));
    }
  }

  void Fail(const std::string& why) {
    const bool wasUp = up && interval == Interval::kFollowing;  // the source was told it was up
    reopened = false;
    Drop();
    if (wasUp) listener->Lost();
    const auto wait = retryAfter;
    retryAfter = std::min(retryAfter * 2, std::chrono::duration_cast<std::chrono::seconds>(kLongestRetry));
    if (why != lastWhy || wasUp) {
      say((wasUp ? "FlightGear at " + Where() + " lost (" : everUp ? "FlightGear at " + Where() + " not reachable ("
                                                                  : "waiting for FlightGear at " + Where() + " (") +
          why + "); trying again with a back-off of up to " + std::to_string(kLongestRetry.count()) + " s");
      lastWhy = why;
    }
    retry.expires_after(wait);
    retry.async_wait([this](beast::error_code error) {
      if (!error) Connect();
    });
  }
};

FlightGearLink::FlightGearLink(std::string host, int port, std::vector<std::string> properties, Say say)
    : state_(std::make_unique<State>()) {
  state_->host = std::move(host);
  state_->port = port;
  for (size_t i = 0; i < properties.size(); ++i) state_->index.emplace(CanonicalPath(properties[i]), i);
  state_->properties = std::move(properties);
  state_->say = std::move(say);
  state_->sets.resize(state_->properties.size());
}

FlightGearLink::~FlightGearLink() {
  if (!state_->thread.joinable()) return;
  asio::post(state_->io, [s = state_.get()] { s->io.stop(); });
  state_->thread.join();
}

void FlightGearLink::Start(LinkListener& listener) {
  state_->listener = &listener;
  state_->thread = std::thread([s = state_.get()] {
    s->Connect();
    s->io.run();
  });
}

void FlightGearLink::Set(size_t property, double value) {
  std::lock_guard lock(state_->mutex);
  if (property >= state_->sets.size()) return;
  state_->sets[property] = value;
  if (state_->flushPosted) return;
  state_->flushPosted = true;
  asio::post(state_->io, [s = state_.get()] { s->Flush(); });
}

std::string FlightGearLink::Address() const { return state_->Where(); }

}  // namespace tavelor::sim::flightgear
