#include "probe/probe_json.h"

#include <charconv>

namespace tavelor::probe {

namespace {

// The shortest text that reads back as the same number: 12.3, not 12.300000000000001.
std::string Number(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace

std::string ReplyJson(const ReplySchema& schema, const std::vector<FieldValue>& values) {
  std::string json = "{\"code\":" + JsonString(schema.code) + ",\"values\":{";
  for (const FieldValue& value : values) {
    if (&value != &values.front()) json += ',';
    json += JsonString(value.info->name) + ':' + (value.number ? Number(*value.number) : JsonString(value.text));
  }
  return json + "}}\n";
}

}  // namespace tavelor::probe
