// tavelor-mqtt: the panel replies' values to an MQTT broker and commands from it, a client of
// TavelorServer's panel port. Boost.Asio carries the panel port and every decision on one
// thread; the broker's connection is libmosquitto's, whose thread hands everything over.
#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <iostream>

#include "mqtt/mqtt_options.h"
#include "mqtt/net/bridge.h"
#include "text/escaped_bytes.h"

namespace {

namespace asio = boost::asio;
using namespace tavelor::mqtt;

// Log lines go to standard output; no byte a peer chose reaches the terminal as a control.
void Log(const std::string& line) { std::cout << "- " << tavelor::EscapedBytes(line, tavelor::UnsafeBytes::kControl) << std::endl; }

std::string Joined(const std::vector<std::string>& codes) {
  std::string text;
  for (const std::string& code : codes) text += (text.empty() ? "" : ", ") + code;
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  MqttOptions options;
  if (const int status = ParseMqttOptions(argc, argv, &options); status >= 0) return status;

  asio::io_context io;
  Log("Tavelor MQTT: panel values to an MQTT broker, commands from it");
  char rate[32];
  std::snprintf(rate, sizeof rate, "%g", options.hz);
  Log("Publishing " + Joined(options.follow) + " at " + rate + " Hz on " + options.prefix + "/CODE/FIELD, and as JSON on " +
      options.prefix + "/CODE");
  Log(options.readOnly ? "Read-only: commands on " + options.prefix + "/command are refused"
                       : "Commands taken on " + options.prefix + "/command/CODE and " + options.prefix + "/command");
  if (options.discovery) Log("Home Assistant discovery on " + options.discoveryPrefix + "/sensor/...");

  Bridge bridge(io, options, Log);
  if (const std::string error = bridge.Start(); !error.empty()) {
    Log("Error: " + error);
    return 1;
  }
  // Ctrl+C, systemctl stop (SIGTERM) and a closed terminal (SIGHUP) stop it the same way.
  asio::signal_set stop(io, SIGINT, SIGTERM, SIGHUP);
  stop.async_wait([&](boost::system::error_code error, int) {
    if (!error) io.stop();
  });
  io.run();
  // The status says "offline" and the broker hears goodbye; the handlers, all cancelled, run out
  // while everything they reach is still there.
  stop.cancel();
  bridge.Stop();
  io.restart();
  io.run_for(std::chrono::seconds(5));
  Log("Stopped");
  return 0;
}
