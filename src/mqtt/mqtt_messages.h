// What tavelor-mqtt publishes and what it takes, as topics and payloads: a panel reply's values,
// one topic to each field and one to the whole reply; commands in, with their refusals and
// acknowledgements; Home Assistant's discovery messages. Pure: the broker and the panel port
// are the bridge's (mqtt/net/bridge.h).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mqtt/mqtt_options.h"
#include "replies/reply_schema.h"

namespace tavelor::mqtt {

struct Message {
  std::string topic;
  std::string payload;
  bool retain = true;
  int qos = 0;
};

// Each field of a panel reply on PREFIX/CODE/field as plain text (a number as the stream's JSON
// writes it, 118.25; a text as it is; null for a number the line cannot show), retained, and the
// whole reply on PREFIX/CODE as the stream's JSON message, retained: a board that subscribes
// later gets the state at once. Only what changed goes out.
class ValueTopics {
 public:
  ValueTopics(std::string prefix, const std::vector<Deadband>& deadbands);

  // What one answer publishes: each field whose value differs from the one last published (for
  // a field with a deadband: has moved at least that far from it), every field the first time;
  // then the whole reply when any field went. A line that does not fit its schema publishes
  // nothing.
  std::vector<Message> Take(const ReplySchema& schema, std::string_view line);
  // The broker may have lost its retained values (a new connection, maybe to a restarted
  // broker): every field goes out again with its next answer.
  void Forget() { last_.clear(); }

 private:
  struct Last {
    std::string payload;
    std::optional<double> number;
  };
  std::string prefix_;
  std::map<std::string, double> deadbands_;                   // "CODE/field" -> amount
  std::map<std::string, std::map<std::string, Last>> last_;  // code -> field -> as published
};

// A message on PREFIX/command (a whole request text, as tavelor-probe takes it) or
// PREFIX/command/CODE (the arguments, as they stand after the code and a blank).
struct CommandMessage {
  std::string request;  // the request text to send, without its two leading characters
  std::string code;     // its code, which names its acknowledgement's topic
  std::string refusal;  // why it is not sent: published on PREFIX/error; "" when it goes
};
CommandMessage ReadCommandMessage(const std::string& prefix, std::string_view topic, std::string_view payload,
                                  bool readOnly);

// The error topic's text for a request that did not go: "COM1 1G8.50 121.50: columns ...".
// Bytes a peer chose are shown escaped, and a long payload cut.
Message ErrorMessage(const std::string& prefix, std::string_view request, const std::string& why);
// PREFIX/ack/CODE: the request text, once the panel server has handled it.
Message AckMessage(const std::string& prefix, const CommandMessage& command);
// PREFIX/status, retained: "online", "no-server" or "offline".
Message StatusMessage(const std::string& prefix, const std::string& status);

// Home Assistant's MQTT discovery: a sensor for each field of each followed reply, retained, on
// DISCOVERY/sensor/NODE/CODE_field/config, NODE being the prefix with anything but letters,
// digits, - and _ made _; its availability follows PREFIX/status.
std::vector<Message> DiscoveryMessages(const MqttOptions& options);

}  // namespace tavelor::mqtt
