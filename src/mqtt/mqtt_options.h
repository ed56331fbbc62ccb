// tavelor-mqtt's command line.
#pragma once

#include <string>
#include <vector>

namespace tavelor::mqtt {

inline constexpr int kBrokerPort = 1883;     // MQTT
inline constexpr int kBrokerTlsPort = 8883;  // MQTT over TLS, the port when --cafile is given
inline constexpr double kMinHz = 0.1;
inline constexpr double kMaxHz = 20;  // the panel server's fastest panels poll at 20 Hz

// A field that publishes only once it has moved by `amount` from the value last published.
struct Deadband {
  std::string code;   // a followed reply: "PFD"
  std::string field;  // one of its numeric fields: "alt"
  double amount = 0;  // in the field's unit
};

struct MqttOptions {
  std::string serverHost = "127.0.0.1";  // the panel port tavelor-mqtt is a client of
  int serverPort = 9696;
  std::string brokerHost = "127.0.0.1";
  int brokerPort = kBrokerPort;
  std::string username;  // none: the broker is asked without a user name
  std::string password;
  std::string cafile;    // TLS to the broker, its certificate checked against this CA file
  std::string prefix = "tavelor";  // every topic starts with it
  std::vector<std::string> follow = {"RADI", "FGP", "DTPA", "C172"};  // hardware's usual panels
  double hz = 10;
  std::vector<Deadband> deadbands;
  bool readOnly = false;  // values out only: every command is refused
  bool discovery = false;  // Home Assistant's discovery messages, under discoveryPrefix
  std::string discoveryPrefix = "homeassistant";
};

// Reads tavelor-mqtt's options into *options. Returns -1 to go on; otherwise the program ends
// with the returned status: 0 after --help or --version, 2 after saying what is wrong.
int ParseMqttOptions(int argc, char** argv, MqttOptions* options);

// Whether `topic` may stand first in every topic: not empty, no wildcard (+, #), no NUL, not
// starting or ending with "/".
bool GoodTopicPrefix(const std::string& topic);

}  // namespace tavelor::mqtt
