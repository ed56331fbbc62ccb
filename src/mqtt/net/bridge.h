// The bridge between the panel port and the broker: one connection polls the panel server for
// the followed replies at the chosen rate and publishes what changed (mqtt/mqtt_messages.h);
// another carries the commands that arrive on the command topics, each acknowledged once the
// server has handled it. The status topic says whether both sides are there. One thread; every
// handler runs to completion.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <functional>
#include <set>
#include <string>

#include "client/net/panel_connection.h"
#include "mqtt/mqtt_messages.h"
#include "mqtt/mqtt_options.h"
#include "mqtt/net/broker_link.h"

namespace tavelor::mqtt {

class Bridge {
 public:
  using LogFunction = std::function<void(const std::string& line)>;

  Bridge(boost::asio::io_context& io, const MqttOptions& options, LogFunction log);
  // "" or why the broker's connection cannot even start.
  std::string Start();
  // Leaves "offline" on the status topic, says goodbye to the broker and closes the panel port's
  // connections; their handlers, cancelled, end at their next turn.
  void Stop();

 private:
  void Tick();
  void OnAnswer(const std::string& code, const client::PanelResult& result);
  void OnPanelState(client::LinkState state, const std::string& why);
  void OnBrokerUp();
  void OnBrokerLost(const std::string& why);
  void OnMessage(const std::string& topic, const std::string& payload, bool retained);
  void Refuse(const std::string& request, const std::string& why);
  void PublishStatus();

  boost::asio::io_context& io_;
  const MqttOptions& options_;
  LogFunction log_;
  client::PanelConnection poll_;      // the followed replies
  client::PanelConnection commands_;  // the commands, so that none holds up the values
  BrokerLink broker_;
  ValueTopics values_;
  boost::asio::steady_timer tick_;
  std::set<std::string> asking_;  // codes asked and not yet answered
  size_t commandsWaiting_ = 0;
  std::string status_;            // as last published
  bool panelEverUp_ = false;
  bool panelStalled_ = false;
  bool brokerEverUp_ = false;
  std::string brokerWhy_;         // the broker's failure as last told; "" while it is up
  bool stopped_ = false;
};

}  // namespace tavelor::mqtt
