#include "mqtt/net/bridge.h"

namespace tavelor::mqtt {

namespace {

using client::LinkState;

// Commands waiting for the command connection; a board that sends faster than the panel
// server handles them is told so instead of growing the queue.
constexpr size_t kMaxCommandsWaiting = 32;
// Failure after failure, the panel server is tried again after 1, 2, 4 and then every 8 s.
constexpr std::chrono::seconds kPanelLongestRetry{8};

}  // namespace

Bridge::Bridge(boost::asio::io_context& io, const MqttOptions& options, LogFunction log)
    : io_(io), options_(options), log_(std::move(log)),
      poll_(io, options.serverHost, options.serverPort,
            [this](LinkState state, const std::string& why) { OnPanelState(state, why); }, kPanelLongestRetry),
      commands_(io, options.serverHost, options.serverPort, [](LinkState, const std::string&) {}, kPanelLongestRetry),
      broker_(io, options, StatusMessage(options.prefix, "offline"),
              {[this] { OnBrokerUp(); }, [this](const std::string& why) { OnBrokerLost(why); },
               [this](const std::string& topic, const std::string& payload, bool retained) {
                 OnMessage(topic, payload, retained);
               }}),
      values_(options.prefix, options.deadbands), tick_(io) {}

std::string Bridge::Start() {
  if (const std::string error = broker_.Start(); !error.empty()) return error;
  poll_.Start();
  commands_.Start();
  tick_.expires_after(std::chrono::milliseconds(0));
  Tick();
  return "";
}

void Bridge::Stop() {
  if (stopped_) return;
  stopped_ = true;
  tick_.cancel();
  broker_.Stop(StatusMessage(options_.prefix, "offline"));
  poll_.Stop();
  commands_.Stop();
}

// Each followed code is asked once a period, and never while its last request is unanswered:
// a slow server slows the values, it does not pile up requests.
void Bridge::Tick() {
  for (const std::string& code : options_.follow) {
    if (!asking_.insert(code).second) continue;
    poll_.Send(code, [this, code](const client::PanelResult& result) { OnAnswer(code, result); });
  }
  tick_.expires_at(tick_.expiry() + std::chrono::microseconds(static_cast<long long>(1e6 / options_.hz)));
  tick_.async_wait([this](boost::system::error_code error) {
    if (!error && !stopped_) Tick();
  });
}

void Bridge::OnAnswer(const std::string& code, const client::PanelResult& result) {
  asking_.erase(code);
  if (stopped_ || !result.error.empty() || !broker_.Up()) return;
  for (const Message& message : values_.Take(*FindReplySchema(code), result.line)) broker_.Publish(message);
}

void Bridge::OnPanelState(LinkState state, const std::string& why) {
  const std::string where = options_.serverHost + ":" + std::to_string(options_.serverPort);
  switch (state) {
    case LinkState::kUp:
      log_(panelStalled_ ? "Panel server answering again" : "Panel server connected: " + where);
      panelEverUp_ = true;
      break;
    case LinkState::kStalled:
      log_("Panel server not answering (" + why + ")");
      break;
    case LinkState::kDown:
      // Before the first connection this is no failure: the server listens only once it has
      // found its simulator, which may start after the bridge.
      log_((panelEverUp_ ? "Panel server " + where + " not reachable (" : "Waiting for the panel server at " + where + " (") +
           why + "); trying again with a back-off of up to " + std::to_string(kPanelLongestRetry.count()) + " s");
      break;
  }
  panelStalled_ = state == LinkState::kStalled;
  PublishStatus();
}

void Bridge::OnBrokerUp() {
  const std::string where = options_.brokerHost + ":" + std::to_string(options_.brokerPort);
  log_((brokerEverUp_ ? "Broker connected again: " : "Broker connected: ") + where);
  brokerEverUp_ = true;
  brokerWhy_.clear();
  broker_.Subscribe(options_.prefix + "/command");
  broker_.Subscribe(options_.prefix + "/command/+");
  // A broker that restarted may have lost every retained value: they all go out anew.
  values_.Forget();
  status_.clear();
  PublishStatus();
  if (options_.discovery) {
    for (const Message& message : DiscoveryMessages(options_)) broker_.Publish(message);
  }
}

void Bridge::OnBrokerLost(const std::string& why) {
  if (stopped_ || why == brokerWhy_) return;  // one line for each change, not each attempt
  brokerWhy_ = why;
  const std::string where = options_.brokerHost + ":" + std::to_string(options_.brokerPort);
  log_((brokerEverUp_ ? "Broker " + where + " lost (" : "Waiting for the broker at " + where + " (") + why +
       "); trying again with a back-off of up to " + std::to_string(kBrokerLongestRetry.count()) + " s");
}

void Bridge::PublishStatus() {
  if (!broker_.Up()) return;
  const std::string status = poll_.State() == LinkState::kDown ? "no-server" : "online";
  if (status == status_) return;
  status_ = status;
  broker_.Publish(StatusMessage(options_.prefix, status));
}

void Bridge::Refuse(const std::string& request, const std::string& why) {
  broker_.Publish(ErrorMessage(options_.prefix, request, why));
}

void Bridge::OnMessage(const std::string& topic, const std::string& payload, bool retained) {
  if (stopped_) return;
  const CommandMessage command = ReadCommandMessage(options_.prefix, topic, payload, options_.readOnly);
  // A command the broker kept would run again at every connection of every bridge.
  if (retained) return Refuse(command.request, "a retained command is not taken: publish commands without retain");
  if (!command.refusal.empty()) return Refuse(command.request, command.refusal);
  if (commands_.State() == LinkState::kDown) return Refuse(command.request, "the panel server is not connected");
  if (commandsWaiting_ >= kMaxCommandsWaiting) return Refuse(command.request, "too many commands are waiting");
  ++commandsWaiting_;
  commands_.Send(command.request, [this, command](const client::PanelResult& result) {
    --commandsWaiting_;
    if (stopped_) return;
    if (!result.error.empty()) return Refuse(command.request, result.error);
    broker_.Publish(AckMessage(options_.prefix, command));
  });
}

}  // namespace tavelor::mqtt
