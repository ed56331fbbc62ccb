#include "mqtt/net/broker_link.h"

#include <mosquitto.h>

#include <algorithm>
#include <boost/asio/post.hpp>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace tavelor::mqtt {

namespace {

// What a command topic may carry is far less: a longer payload is cut here, still too long to
// be taken, so a peer's megabyte is not copied about.
constexpr size_t kLongestPayloadKept = 1024 + 1;

std::string Why(int rc, int savedErrno) {
  if (rc == MOSQ_ERR_ERRNO) return std::strerror(savedErrno);
  return mosquitto_strerror(rc);
}

}  // namespace

BrokerLink::BrokerLink(boost::asio::io_context& io, const MqttOptions& options, Message will, Events events)
    : io_(io), options_(options), will_(std::move(will)), events_(std::move(events)), retry_(io) {}

BrokerLink::~BrokerLink() {
  if (!client_) return;
  if (!stopped_) {
    *alive_ = false;
    mosquitto_disconnect(client_);
    if (threadStarted_) mosquitto_loop_stop(client_, false);
  }
  mosquitto_destroy(client_);
}

std::string BrokerLink::Start() {
  static std::once_flag once;
  std::call_once(once, [] { mosquitto_lib_init(); });
  client_ = mosquitto_new(nullptr, true, this);  // a client id of the library's choosing
  if (!client_) return "the MQTT library cannot make a client: " + std::string(std::strerror(errno));
  mosquitto_connect_callback_set(client_, &BrokerLink::OnConnect);
  mosquitto_disconnect_callback_set(client_, &BrokerLink::OnDisconnect);
  mosquitto_message_callback_set(client_, &BrokerLink::OnMessage);
  int rc = MOSQ_ERR_SUCCESS;
  if (!options_.username.empty()) {
    rc = mosquitto_username_pw_set(client_, options_.username.c_str(),
                                   options_.password.empty() ? nullptr : options_.password.c_str());
    if (rc != MOSQ_ERR_SUCCESS) return "the user name: " + Why(rc, errno);
  }
  if (!options_.cafile.empty()) {
    rc = mosquitto_tls_set(client_, options_.cafile.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) return "the CA file " + options_.cafile + ": " + Why(rc, errno);
  }
  rc = mosquitto_will_set(client_, will_.topic.c_str(), static_cast<int>(will_.payload.size()), will_.payload.data(),
                          will_.qos, will_.retain);
  if (rc != MOSQ_ERR_SUCCESS) return "the last will: " + Why(rc, errno);
  mosquitto_reconnect_delay_set(client_, 1, static_cast<unsigned>(kBrokerLongestRetry.count()), true);
  rc = mosquitto_loop_start(client_);
  if (rc != MOSQ_ERR_SUCCESS) return "the MQTT library's thread: " + Why(rc, errno);
  threadStarted_ = true;
  Connect();
  return "";
}

// Once the library has a connection under way it keeps it, and makes a lost one again itself;
// until then (a name that does not resolve, say) it is tried here, with the same back-off.
void BrokerLink::Connect() {
  if (stopped_) return;
  const int rc = mosquitto_connect_async(client_, options_.brokerHost.c_str(), options_.brokerPort, kKeepAliveSeconds);
  if (rc == MOSQ_ERR_SUCCESS) return;
  events_.lost(Why(rc, errno));
  retry_.expires_after(retryAfter_);
  retryAfter_ = std::min(retryAfter_ * 2, kBrokerLongestRetry);
  retry_.async_wait([this](boost::system::error_code error) {
    if (!error) Connect();
  });
}

void BrokerLink::Stop(const Message& last) {
  if (!client_ || stopped_) return;
  // The goodbye follows the status on the same connection, so the broker has it first; after a
  // goodbye the broker does not publish the will.
  Publish(last);
  stopped_ = true;
  *alive_ = false;
  retry_.cancel();
  mosquitto_disconnect(client_);
  if (threadStarted_) mosquitto_loop_stop(client_, false);
  up_ = false;
}

void BrokerLink::Publish(const Message& message) {
  if (!up_ || stopped_) return;
  mosquitto_publish(client_, nullptr, message.topic.c_str(), static_cast<int>(message.payload.size()),
                    message.payload.data(), message.qos, message.retain);
}

void BrokerLink::Subscribe(const std::string& pattern) {
  if (up_) mosquitto_subscribe(client_, nullptr, pattern.c_str(), 1);
}

// Called on the library's thread: everything goes to the program's thread.
void BrokerLink::Post(std::function<void(BrokerLink&)> work) {
  boost::asio::post(io_, [this, alive = alive_, work = std::move(work)] {
    if (*alive) work(*this);
  });
}

void BrokerLink::OnConnect(mosquitto*, void* self, int rc) {
  static_cast<BrokerLink*>(self)->Post([rc](BrokerLink& link) {
    if (rc != 0) {
      link.up_ = false;
      return link.events_.lost(mosquitto_connack_string(rc));
    }
    link.up_ = true;
    link.retryAfter_ = std::chrono::seconds(1);
    link.events_.connected();
  });
}

void BrokerLink::OnDisconnect(mosquitto*, void* self, int rc) {
  const int savedErrno = errno;
  static_cast<BrokerLink*>(self)->Post([rc, savedErrno](BrokerLink& link) {
    link.up_ = false;
    link.events_.lost(rc == 0 ? "the broker closed the connection" : Why(rc, savedErrno));
  });
}

void BrokerLink::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
  std::string topic = message->topic ? message->topic : "";
  const size_t length = std::min(static_cast<size_t>(std::max(message->payloadlen, 0)), kLongestPayloadKept);
  std::string payload = length ? std::string(static_cast<const char*>(message->payload), length) : "";
  const bool retained = message->retain;
  static_cast<BrokerLink*>(self)->Post(
      [topic = std::move(topic), payload = std::move(payload), retained](BrokerLink& link) {
        link.events_.message(topic, payload, retained);
      });
}

}  // namespace tavelor::mqtt
