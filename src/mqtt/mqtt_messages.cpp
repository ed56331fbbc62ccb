#include "mqtt/mqtt_messages.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "cli/command_line.h"
#include "client/command_arguments.h"
#include "core/request_codes.h"
#include "replies/reply_json.h"
#include "text/escaped_bytes.h"

namespace tavelor::mqtt {

namespace {

using Json = nlohmann::ordered_json;

// The longest request a command topic takes: the longest command is 22 characters.
constexpr size_t kMaxRequestBytes = 64;
// What an error message shows of a payload at most.
constexpr size_t kMaxShownBytes = 80;

std::string CommandList() {
  std::string list;
  for (const RequestCode& code : RequestCodes()) {
    if (code.kind != CodeKind::kCommand || code.TakesRestOfRequest()) continue;
    list += list.empty() ? "" : ", ";
    list += code.code;
  }
  return list;
}

}  // namespace

ValueTopics::ValueTopics(std::string prefix, const std::vector<Deadband>& deadbands) : prefix_(std::move(prefix)) {
  for (const Deadband& band : deadbands) deadbands_[band.code + "/" + band.field] = band.amount;
}

std::vector<Message> ValueTopics::Take(const ReplySchema& schema, std::string_view line) {
  const ReplyJson reply = ReplyAsJson(schema, line);
  if (!reply.error.empty()) return {};
  const Json fields = Json::parse(reply.message)["fields"];
  std::map<std::string, Last>& last = last_[schema.code];
  std::vector<Message> out;
  for (const auto& [name, value] : fields.items()) {
    Last now;
    if (value.is_number()) now.number = value.get<double>();
    now.payload = value.is_string() ? value.get<std::string>() : value.dump();
    const auto had = last.find(name);
    bool moved = had == last.end() || had->second.number.has_value() != now.number.has_value();
    if (!moved && now.number) {
      const auto band = deadbands_.find(std::string(schema.code) + "/" + name);
      moved = band == deadbands_.end() ? now.payload != had->second.payload
                                       : std::fabs(*now.number - *had->second.number) >= band->second;
    } else if (!moved) {
      moved = now.payload != had->second.payload;
    }
    if (!moved) continue;
    out.push_back({prefix_ + "/" + schema.code + "/" + name, now.payload});
    last[name] = std::move(now);
  }
  if (!out.empty()) out.push_back({prefix_ + "/" + schema.code, reply.message});
  return out;
}

CommandMessage ReadCommandMessage(const std::string& prefix, std::string_view topic, std::string_view payload,
                                  bool readOnly) {
  CommandMessage command;
  const std::string whole = prefix + "/command";
  std::string text;
  if (topic == whole) {
    text = std::string(payload);
  } else if (topic.size() > whole.size() + 1 && topic.substr(0, whole.size() + 1) == whole + "/" &&
             topic.find('/', whole.size() + 1) == std::string_view::npos) {
    text = std::string(topic.substr(whole.size() + 1));
    if (!payload.empty()) text += " " + std::string(payload);
  } else {
    command.refusal = "no such topic: commands go to " + whole + "/CODE or " + whole;
    command.request = std::string(topic);
    return command;
  }
  command.request = text;
  command.code = text.substr(0, 4);
  if (readOnly) {
    command.refusal = "tavelor-mqtt runs with --read-only: commands are refused";
    return command;
  }
  if (text.size() < 3 || text.size() > kMaxRequestBytes) {
    command.refusal = "a request is 3 to " + std::to_string(kMaxRequestBytes) + " characters";
    return command;
  }
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) {
      command.refusal = "a request holds printable ASCII characters only";
      return command;
    }
  }
  // As tavelor-probe reads what it is given: a leading "xx" of the README's examples is taken
  // for the two characters the server ignores.
  command.request = TypedRequestText(text);
  const RequestCode* code = MatchRequestCode(command.request);
  command.code = code ? code->code : command.request.substr(0, 4);
  if (!code) {
    command.refusal = "unknown command " + command.code + "; the commands are " + CommandList();
  } else if (code->kind == CodeKind::kReply) {
    command.refusal = command.code + " is a panel reply: its values are on " + prefix + "/" + command.code;
  } else if (code->kind == CodeKind::kVersion) {
    command.refusal = command.code + " is a version query, not a command";
  } else if (code->TakesRestOfRequest()) {
    command.refusal = "flight plan chunks take every byte after them into the plan, so no acknowledgement can"
                      " follow them; send them with a panel client";
  } else {
    // The server would drop it, saying so only in its log.
    command.refusal = client::ArgumentProblem(command.request);
  }
  return command;
}

Message ErrorMessage(const std::string& prefix, std::string_view request, const std::string& why) {
  const std::string shown = EscapedBytes(request.substr(0, kMaxShownBytes), UnsafeBytes::kNotAscii);
  return {prefix + "/error", shown + (request.size() > kMaxShownBytes ? "..." : "") + ": " + why, false, 1};
}

Message AckMessage(const std::string& prefix, const CommandMessage& command) {
  return {prefix + "/ack/" + command.code, command.request, false, 1};
}

Message StatusMessage(const std::string& prefix, const std::string& status) {
  return {prefix + "/status", status, true, 1};
}

std::vector<Message> DiscoveryMessages(const MqttOptions& options) {
  std::string node = options.prefix;
  for (char& c : node) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
  }
  const Json device = {{"identifiers", {node}},
                       {"name", "TavelorServer (" + options.prefix + ")"},
                       {"model", "tavelor-mqtt"},
                       {"sw_version", cli::ProgramVersion()}};
  std::vector<Message> out;
  for (const std::string& code : options.follow) {
    for (const FieldInfo& field : FindReplySchema(code)->fields) {
      const std::string id = code + "_" + field.name;
      Json config = {{"name", code + " " + field.name},
                     {"unique_id", node + "_" + id},
                     {"state_topic", options.prefix + "/" + code + "/" + field.name},
                     {"availability_topic", options.prefix + "/status"},
                     {"payload_available", "online"},
                     {"payload_not_available", "offline"},
                     {"device", device}};
      if (field.numeric && *field.unit) config["unit_of_measurement"] = field.unit;
      out.push_back({options.discoveryPrefix + "/sensor/" + node + "/" + id + "/config", config.dump(), true, 1});
    }
  }
  return out;
}

}  // namespace tavelor::mqtt
