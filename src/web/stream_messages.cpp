#include "web/stream_messages.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "client/command_arguments.h"
#include "core/request_codes.h"
#include "replies/reply_json.h"

namespace tavelor::web {

namespace {

using Json = nlohmann::ordered_json;

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
  // Read as the probe reads what it is given: a leading "xx" of the README's examples is taken
  // for the two characters the server ignores.
  const std::string requestText = TypedRequestText(text);
  const RequestCode* code = MatchRequestCode(requestText);
  request->kind = PageRequest::kSend;
  request->send = requestText;
  request->sendCode = code ? code->code : requestText.substr(0, 4);
  if (!code) return "";  // the panel server says whether it knows it
  if (code->kind == CodeKind::kReply) return request->sendCode + " is a panel reply: subscribe to it";
  if (code->kind == CodeKind::kVersion) return request->sendCode + " is a version query, not a command";
  if (code->TakesRestOfRequest()) {
    return "flight plan chunks take every byte after them into the plan, so tavelor-web cannot"
           " confirm them; send them with a panel client";
  }
  // The server drops a command whose arguments do not parse, and says so only in its log: the
  // page would be told it went.
  return client::ArgumentProblem(requestText);
}

// "pause", "on", or the moment to jump to, in seconds.
std::string ReadReplay(const Json& value, PageRequest* request) {
  request->kind = PageRequest::kReplay;
  if (value.is_string() && (value == "pause" || value == "on")) {
    request->replay = "replay " + value.get<std::string>();
    return "";
  }
  if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < 0 ||
      value.get<double>() > 1e9) {
    return "replay takes \"pause\", \"on\" or the moment to jump to, in seconds";
  }
  char line[48];
  std::snprintf(line, sizeof line, "replay at %.3f", value.get<double>());
  request->replay = line;
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
  const bool replay = message.is_object() && message.contains("replay");
  if (subscribe + unsubscribe + send + replay != 1) {
    parsed.error = "a message is an object with one of \"subscribe\", \"unsubscribe\", \"send\" or \"replay\"";
    return parsed;
  }
  PageRequest request;
  if (replay) {
    parsed.error = ReadReplay(message["replay"], &request);
  } else if (send) {
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
  return ReplyAsJson(schema, line).message;
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

std::string AddressesJson(const std::string& url, const std::string& local) {
  Json json{{"url", url}};
  if (!local.empty()) json["local"] = local;
  return json.dump();
}

std::string ReplayMessage(const std::optional<ReplayStatus>& status) {
  if (!status) return Json{{"replay", nullptr}}.dump();
  return Json{{"replay", {{"at", status->at}, {"length", status->length}, {"playing", status->playing}}}}.dump();
}

}  // namespace tavelor::web
