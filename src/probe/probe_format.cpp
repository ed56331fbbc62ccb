#include "probe/probe_format.h"

#include <algorithm>

#include "text/escaped_bytes.h"

namespace tavelor::probe {

namespace {

const FieldInfo* Info(const ReplySchema* schema, size_t index) {
  if (!schema || index >= schema->fields.size()) return nullptr;
  return &schema->fields[index];
}

std::string Name(const ReplySchema* schema, size_t index) {
  const FieldInfo* field = Info(schema, index);
  return field ? field->name : "(field " + std::to_string(index + 1) + ")";
}

}  // namespace

std::string Escape(std::string_view bytes) { return EscapedBytes(bytes, UnsafeBytes::kNotAscii); }

size_t ChangedCount(const std::vector<std::string>& fields, const std::vector<std::string>& previous) {
  size_t changed = fields.size() > previous.size() ? fields.size() - previous.size()
                                                   : previous.size() - fields.size();
  for (size_t i = 0; i < std::min(fields.size(), previous.size()); ++i) {
    if (fields[i] != previous[i]) ++changed;
  }
  return changed;
}

std::string FieldTable(const ReplySchema* schema, const std::vector<std::string>& fields,
                       const std::vector<std::string>* previous) {
  size_t width = 0;
  for (size_t i = 0; i < fields.size(); ++i) width = std::max(width, Name(schema, i).size());
  std::string table;
  for (size_t i = 0; i < fields.size(); ++i) {
    const bool changed = previous && (i >= previous->size() || (*previous)[i] != fields[i]);
    std::string number = std::to_string(i + 1);
    number.insert(0, number.size() < 3 ? 3 - number.size() : 0, ' ');
    std::string name = Name(schema, i);
    name.resize(width, ' ');
    const FieldInfo* field = Info(schema, i);
    const std::string unit = field && *field->unit ? std::string("  ") + field->unit : "";
    table += std::string(changed ? "*" : " ") + number + "  " + name + "  \"" + Escape(fields[i]) + "\"" +
             unit + "\n";
  }
  const size_t expected = schema ? schema->fields.size() : 0;
  if (schema && fields.size() != expected) {
    table += "note: " + std::to_string(fields.size()) + " fields, where " + schema->code + " has " +
             std::to_string(expected) + " (a field holding ':' splits in two)\n";
  }
  return table;
}

}  // namespace tavelor::probe
