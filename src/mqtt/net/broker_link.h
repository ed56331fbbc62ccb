// The connection to the MQTT broker, on Eclipse Mosquitto's client library (libmosquitto): the
// library's own thread keeps the connection, and connects again by itself with a back-off when
// it is lost; everything it reports is handed to the program's one Asio thread, where all of
// tavelor-mqtt's work runs. Publishing is safe from that thread.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "mqtt/mqtt_messages.h"
#include "mqtt/mqtt_options.h"

struct mosquitto;
struct mosquitto_message;

namespace tavelor::mqtt {

// The longest wait between two attempts to reach the broker.
inline constexpr std::chrono::seconds kBrokerLongestRetry{10};
// A silent connection is checked this often, and the broker publishes the last will when it has
// heard nothing for one and a half times as long.
inline constexpr int kKeepAliveSeconds = 10;

class BrokerLink {
 public:
  struct Events {
    std::function<void()> connected;                    // subscribe and publish anew
    std::function<void(const std::string& why)> lost;   // the connection is down, or refused
    // `retained`: the broker kept it from before this connection
    std::function<void(const std::string& topic, const std::string& payload, bool retained)> message;
  };

  // `will` is published by the broker if this program's connection ends without a goodbye.
  BrokerLink(boost::asio::io_context& io, const MqttOptions& options, Message will, Events events);
  ~BrokerLink();
  BrokerLink(const BrokerLink&) = delete;
  BrokerLink& operator=(const BrokerLink&) = delete;

  // Starts connecting; "" or why it cannot start at all (a CA file the library refuses).
  std::string Start();
  // Publishes `last` (the status a clean end leaves), says goodbye, and waits (a few seconds at
  // most) for the library's thread to end. Nothing is reported after it.
  void Stop(const Message& last);

  bool Up() const { return up_; }
  void Publish(const Message& message);
  void Subscribe(const std::string& pattern);

 private:
  static void OnConnect(mosquitto*, void* self, int rc);
  static void OnDisconnect(mosquitto*, void* self, int rc);
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);
  void Post(std::function<void(BrokerLink&)> work);
  void Connect();

  boost::asio::io_context& io_;
  const MqttOptions& options_;
  const Message will_;
  Events events_;
  mosquitto* client_ = nullptr;
  boost::asio::steady_timer retry_;
  std::chrono::seconds retryAfter_{1};
  bool up_ = false;
  bool stopped_ = false;
  bool threadStarted_ = false;
  // Shared with the handlers the library's thread posts: false once Stop has run.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tavelor::mqtt
