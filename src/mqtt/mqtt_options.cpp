#include "mqtt/mqtt_options.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/command_line.h"
#include "replies/reply_schema.h"

namespace tavelor::mqtt {

namespace {

// "RADI,HSI,C172", or "all": every panel reply.
bool ReadFollow(const std::string& text, std::vector<std::string>* codes) {
  codes->clear();
  if (text == "all") {
    for (const ReplySchema& schema : ReplySchemas()) codes->push_back(schema.code);
    return true;
  }
  std::stringstream list(text);
  for (std::string code; std::getline(list, code, ',');) {
    if (!FindReplySchema(code)) return false;
    bool again = false;
    for (const std::string& had : *codes) again = again || had == code;
    if (!again) codes->push_back(code);
  }
  return !codes->empty() && text.back() != ',';
}

// "PFD.alt=10": a numeric field of a panel reply, and a positive amount in its unit.
bool ReadDeadband(const std::string& text, std::vector<Deadband>* deadbands) {
  const size_t dot = text.find('.');
  const size_t equals = text.find('=');
  if (dot == std::string::npos || equals == std::string::npos || equals < dot) return false;
  Deadband band{text.substr(0, dot), text.substr(dot + 1, equals - dot - 1), 0};
  const ReplySchema* schema = FindReplySchema(band.code);
  if (!schema || !cli::ReadReal(text.substr(equals + 1), 0, 1e9, &band.amount) || !(band.amount > 0)) return false;
  for (const FieldInfo& field : schema->fields) {
    if (field.numeric && band.field == field.name) {
      deadbands->push_back(band);
      return true;
    }
  }
  return false;
}

bool ReadFirstLine(const std::string& path, std::string* line) {
  std::ifstream file(path);
  if (!file || !std::getline(file, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

}  // namespace

bool GoodTopicPrefix(const std::string& topic) {
  return !topic.empty() && topic.front() != '/' && topic.back() != '/' &&
         topic.find_first_of(std::string("+#\0", 3)) == std::string::npos;
}

int ParseMqttOptions(int argc, char** argv, MqttOptions* options) {
  cli::CommandLine line(
      "tavelor-mqtt",
      "Publishes the values of TavelorServer's panel replies to an MQTT broker, a topic to each\n"
      "field, and sends the commands published to it to the panel server: hardware panels\n"
      "(ESP32, Arduino, Raspberry Pi), Node-RED and Home Assistant speak to the simulator through\n"
      "the broker.");
  line.Value(
      "--server", "HOST:PORT", "HOST:PORT, for example 127.0.0.1:9696 or [::1]:9696",
      [options](const std::string& text) { return cli::ReadHostPort(text, &options->serverHost, &options->serverPort); },
      "the panel server (default 127.0.0.1:9696)");
  bool brokerPortGiven = false;
  line.Value(
      "--broker", "HOST:PORT", "HOST:PORT, for example 127.0.0.1:1883 or broker.lan",
      [options, &brokerPortGiven](const std::string& text) {
        brokerPortGiven = text.find_last_of(':') != std::string::npos && text.back() != ']';
        return cli::ReadHostPort(text, &options->brokerHost, &options->brokerPort);
      },
      "the MQTT broker (default 127.0.0.1:1883, or port 8883 with --cafile)");
  line.Text("--username", "NAME", &options->username, "a user name", "the user name the broker is asked with");
  line.Text("--password", "TEXT", &options->password, "a password",
            "its password (seen by every user of this computer in its process list:\n"
            "--password-file keeps it out)");
  line.Value(
      "--password-file", "FILE", "a readable file whose first line is the password",
      [options](const std::string& path) { return ReadFirstLine(path, &options->password); },
      "the password: the first line of FILE");
  line.Value(
      "--cafile", "FILE", "a readable file of PEM certificates",
      [options](const std::string& path) {
        options->cafile = path;
        return std::ifstream(path).good();
      },
      "speak TLS to the broker, and take its certificate only when signed by\n"
      "a certificate authority in FILE");
  line.Value(
      "--prefix", "TOPIC", "a topic without + or # that neither starts nor ends with /",
      [options](const std::string& text) {
        options->prefix = text;
        return GoodTopicPrefix(text);
      },
      "the first level of every topic (default tavelor): one broker, several\nsimulators");
  line.Value(
      "--follow", "CODES", "panel reply codes separated by commas, such as RADI,HSI,C172, or all",
      [options](const std::string& text) { return ReadFollow(text, &options->follow); },
      "the panel replies to publish (default RADI,FGP,DTPA,C172; all: every one)");
  line.Real("--hz", "N", &options->hz, kMinHz, kMaxHz, "a rate from 0.1 to 20",
            "how often each is asked for, a second (default 10)");
  line.Value(
          "--deadband", "CODE.FIELD=N", "a reply's numeric field and a positive amount, such as PFD.alt=10",
          [options](const std::string& text) { return ReadDeadband(text, &options->deadbands); },
          "publish the field only once it has moved N (in its unit) from the value\n"
          "last published (repeatable; by default any change it shows)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  line.Flag("--read-only", &options->readOnly, "publish values but refuse every command");
  line.Flag("--discovery", &options->discovery,
            "publish Home Assistant's discovery messages: every followed field\n"
            "appears there as a sensor");
  line.Value(
      "--discovery-prefix", "TOPIC", "a topic without + or # that neither starts nor ends with /",
      [options](const std::string& text) {
        options->discoveryPrefix = text;
        return GoodTopicPrefix(text);
      },
      "Home Assistant's discovery prefix (default homeassistant)");
  const int status = line.Parse(argc, argv, std::cout, std::cerr);
  if (status >= 0) return status;
  for (const Deadband& band : options->deadbands) {
    bool followed = false;
    for (const std::string& code : options->follow) followed = followed || code == band.code;
    if (!followed) return line.Refuse("--deadband names " + band.code + ", which --follow does not", std::cerr);
  }
  if (!options->cafile.empty() && !brokerPortGiven) options->brokerPort = kBrokerTlsPort;
  return -1;
}

}  // namespace tavelor::mqtt
