#include "web/stream_messages.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "core/version_texts.h"

namespace tavelor::web {

namespace {

using Json = nlohmann::ordered_json;

// A flight plan chunk takes every byte after it into the plan, a confirmation too.
constexpr std::string_view kPlanChunks[] = {"PLA9", "PL99", "PLAX", "PLAN"};

bool OneOf(std::string_view code, const auto& list) {
  for (std::string_view known : list) {
    if (code == known) return true;
  }
  return false;
}

// A version query's answer is a line of its own: sent as a command, that line would be taken
// for the confirmation's.
bool VersionCode(std::string_view code) {
  for (const VersionText& version : kVersionTexts) {
    if (code == version.code) return true;
  }
  return false;
}

std::string CodeList() {
  std::string list;
  for (const ReplySchema& schema : ReplySchemas()) list += (list.empty() ? "" : ", ") + std::string(schema.code);
  return list;
}

// A list of known panel reply codes, or why not.
std::string ReadCodes(const Json& value, std::vector<std::string>* codes) {
  if (!value.is_array() || value.empty() || value.size() > ReplySchemas().size()) {
    return "a list of panel reply codes, such as [\"RADI\", \"HSI\"], is needed";
  }
  for (const Json& code : value) {
    if (!code.is_string() || !FindReplySchema(code.get<std::string>())) {
      return "unknown code " + code.dump() + "; the panel replies are " + CodeList();
    }
    codes->push_back(code.get<std::string>());
  }
  return "";
}

std::string ReadSend(const Json& value, const Json* id, PageRequest* request) {
  if (id && !((id->is_string() && id->get<std::string>().size() <= 64) || id->is_number())) {
    return "an id is a number or a short text";
  }
  if (id) request->sendId = id->dump();
  if (!value.is_string()) return "send needs a request text, such as \"COM1 118.50 121.50\"";
  const std::string text = value.get<std::string>();
  request->sendCode = text.size() == 3 ? text : text.substr(0, 4);  // the confirmation names it, refused or not
  if (text.size() < 3 || text.size() > kMaxSendBytes) {
    return "a request is 3 to " + std::to_string(kMaxSendBytes) + " characters";
  }
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) return "a request holds printable ASCII characters only";
  }
  request->kind = PageRequest::kSend;
  request->send = text;
  if (FindReplySchema(request->sendCode)) {
    return request->sendCode + " is a panel reply: subscribe to it";
  }
  if (VersionCode(request->sendCode)) return request->sendCode + " is a version query, not a command";
  if (OneOf(request->sendCode, kPlanChunks)) {
    return "flight plan chunks take every byte after them into the plan, so tavelor-web cannot"
           " confirm them; send them with a panel client";
  }
  return "";
}

}  // namespace

ParsedPageRequest ParsePageMessage(std::string_view text) {
  ParsedPageRequest parsed;
  if (text.size() > kMaxPageMessageBytes) {
    parsed.error = "a message is at most " + std::to_string(kMaxPageMessageBytes) + " bytes";
    return parsed;
  }
  const Json message = Json::parse(text, nullptr, false);
  if (message.is_discarded()) {
    parsed.error = "not JSON";
    return parsed;
  }
  const bool subscribe = message.is_object() && message.contains("subscribe");
  const bool unsubscribe = message.is_object() && message.contains("unsubscribe");
  const bool send = message.is_object() && message.contains("send");
  if (subscribe + unsubscribe + send != 1) {
    parsed.error = "a message is an object with one of \"subscribe\", \"unsubscribe\" or \"send\"";
    return parsed;
  }
  PageRequest request;
  if (send) {
    parsed.error = ReadSend(message["send"], message.contains("id") ? &message["id"] : nullptr, &request);
    if (!parsed.error.empty()) parsed.refusedSend = request;
  } else if (unsubscribe) {
    request.kind = PageRequest::kUnsubscribe;
    parsed.error = ReadCodes(message["unsubscribe"], &request.codes);
  } else {
    parsed.error = ReadCodes(message["subscribe"], &request.codes);
    const Json hz = message.value("hz", Json(5));
    if (parsed.error.empty() &&
        (!hz.is_number() || hz.get<double>() < kMinHz || hz.get<double>() > kMaxHz)) {
      parsed.error = "hz must be a number from 0.1 to 20";
    }
    request.hz = hz.is_number() ? hz.get<double>() : 0;
  }
  if (parsed.error.empty()) parsed.request = std::move(request);
  return parsed;
}

std::string ReplyMessage(const ReplySchema& schema, std::string_view line) {
  if (line.size() >= 2 && line.substr(line.size() - 2) == "\r\n") line.remove_suffix(2);
  Json message = {{"code", schema.code}, {"fields", Json::object()}, {"line", line}};
  const auto values = ReadReplyLine(schema, line);
  if (!values) {
    message["error"] = line == "noversion" ? "the panel server does not know " + std::string(schema.code)
                                           : "the line does not have the " +
                                                 std::to_string(schema.fields.size()) + " fields of " +
                                                 schema.code;
    return message.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
  Json& fields = message["fields"];
  for (const FieldValue& value : *values) {
    if (!value.info->numeric) {
      fields[value.info->name] = value.text;
    } else if (!value.number || !std::isfinite(*value.number)) {
      fields[value.info->name] = nullptr;
    } else if (const double n = *value.number; n == std::trunc(n) && std::fabs(n) < 1e15) {
      fields[value.info->name] = static_cast<int64_t>(n);  // 7000, not 7000.0
    } else {
      fields[value.info->name] = n;
    }
  }
  return message.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string LinkMessage(LinkState state) {
  const char* text = state == LinkState::kUp ? "up" : state == LinkState::kStalled ? "stalled" : "down";
  return Json{{"link", text}}.dump();
}

std::string SentMessage(const PageRequest& send, const std::string& error) {
  Json message = {{"sent", send.sendCode}};
  if (!send.sendId.empty()) message["id"] = Json::parse(send.sendId);
  message["ok"] = error.empty();
  if (!error.empty()) message["error"] = error;
  return message.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string ErrorMessage(const std::string& error) {
  return Json{{"error", error}}.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string RefusalMessage(const ParsedPageRequest& parsed) {
  return parsed.refusedSend ? SentMessage(*parsed.refusedSend, parsed.error) : ErrorMessage(parsed.error);
}

}  // namespace tavelor::web
