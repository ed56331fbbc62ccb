#include "probe/probe_json.h"

#include <charconv>
#include <cstdio>

namespace tavelor::probe {

namespace {

// A JSON string of 8-bit text: quotes, backslashes and every byte outside printable ASCII
// escaped (bytes from 0x80 as the Latin-1 characters they would be), so the output is plain
// ASCII whatever a field holds.
std::string Quoted(const std::string& text) {
  std::string json = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      json += escape;
    } else {
      json += static_cast<char>(c);
    }
  }
  return json + "\"";
}

// The shortest text that reads back as the same number: 12.3, not 12.300000000000001.
std::string Number(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace

std::string SchemaJson(const std::vector<ReplySchema>& schemas) {
  std::string json = "[";
  for (const ReplySchema& schema : schemas) {
    json += (&schema == &schemas.front() ? "\n" : ",\n");
    json += "  {\"code\": " + Quoted(schema.code) + ", \"fields\": [";
    for (const FieldInfo& field : schema.fields) {
      json += (&field == &schema.fields.front() ? "\n" : ",\n");
      json += "    {\"number\": " + std::to_string(field.number) + ", \"name\": " + Quoted(field.name) +
              ", \"label\": " + Quoted(field.label) + ", \"unit\": " + Quoted(field.unit) +
              ", \"width\": " + std::to_string(field.width) +
              ", \"numeric\": " + (field.numeric ? "true" : "false") + "}";
    }
    json += "\n  ]}";
  }
  return json + "\n]\n";
}

std::string ReplyJson(const ReplySchema& schema, const std::vector<FieldValue>& values) {
  std::string json = "{\"code\":" + Quoted(schema.code) + ",\"values\":{";
  for (const FieldValue& value : values) {
    if (&value != &values.front()) json += ',';
    json += Quoted(value.info->name) + ':' + (value.number ? Number(*value.number) : Quoted(value.text));
  }
  return json + "}}\n";
}

}  // namespace tavelor::probe
