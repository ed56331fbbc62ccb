#include "replies/reply_json.h"

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "text/code_page.h"

namespace tavelor {

namespace {

using Json = nlohmann::ordered_json;

// A whole number as an integer (7000, not 7000.0); any other as the shortest real that reads
// back as itself (12.3).
Json Number(double n) {
  if (n == std::trunc(n) && std::fabs(n) < 1e15) return static_cast<int64_t>(n);
  return n;
}

// Plain ASCII whatever a text holds (a terminal in any code page shows it), every character
// beyond it escaped.
std::string Dump(const Json& json) { return json.dump(-1, ' ', true); }

}  // namespace

std::string SimulatorTextAsUtf8(std::string_view text) { return Windows1252ToUtf8(std::string(text)); }

ReplyJson ReplyAsJson(const ReplySchema& schema, std::string_view line) {
  if (line.ends_with("\r\n")) line.remove_suffix(2);
  ReplyJson result;
  Json message = {{"code", schema.code}, {"fields", Json::object()}};
  const auto values = ReadReplyLine(schema, line);
  if (!values) {
    result.error = line == "noversion" ? "the panel server does not know " + std::string(schema.code)
                                       : "the line does not have the " + std::to_string(schema.fields.size()) +
                                             " fields of " + schema.code;
  } else {
    Json& fields = message["fields"];
    for (const FieldValue& value : *values) {
      if (!value.info->numeric) {
        fields[value.info->name] = SimulatorTextAsUtf8(value.text);
      } else if (value.number) {
        fields[value.info->name] = Number(*value.number);
      } else {
        fields[value.info->name] = nullptr;
        result.unreadable.push_back(value.info->name);
      }
    }
  }
  message["line"] = SimulatorTextAsUtf8(line);
  if (!result.unreadable.empty()) message["unreadable"] = result.unreadable;
  if (!result.error.empty()) message["error"] = result.error;
  result.message = Dump(message);
  return result;
}

std::string ReplySchemasJson() {
  const std::vector<ReplySchema>& schemas = ReplySchemas();
  std::string json = "[";
  for (const ReplySchema& schema : schemas) {
    json += (&schema == &schemas.front() ? "\n" : ",\n");
    json += "  {\"code\": " + Dump(schema.code) + ", \"fields\": [";
    for (const FieldInfo& field : schema.fields) {
      const Json row = {{"number", field.number}, {"name", field.name},         {"label", field.label},
                        {"unit", field.unit},     {"width", field.width},       {"numeric", field.numeric},
                        {"meaning", field.meaning}, {"encoding", field.encoding}};
      json += (&field == &schema.fields.front() ? "\n    " : ",\n    ") + Dump(row);
    }
    json += "\n  ]}";
  }
  return json + "\n]\n";
}

}  // namespace tavelor
