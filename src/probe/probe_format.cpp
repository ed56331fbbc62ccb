#include "probe/probe_format.h"

#include <algorithm>
#include <cstdio>

namespace tavelor::probe {

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

const FieldInfo* Info(const CodeInfo* info, size_t index) {
  if (!info || !info->schema || index >= info->schema->fields.size()) return nullptr;
  return &info->schema->fields[index];
}

std::string Name(const CodeInfo* info, size_t index) {
  const FieldInfo* field = Info(info, index);
  return field ? field->name : "(field " + std::to_string(index + 1) + ")";
}

}  // namespace

bool IsReplyLine(const std::string& answer) { return EndsWith(answer, ":\r\n"); }

std::vector<std::string> SplitReply(const std::string& line) {
  std::string body = EndsWith(line, "\r\n") ? line.substr(0, line.size() - 2) : line;
  if (EndsWith(body, ":")) body.pop_back();
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t colon; (colon = body.find(':', start)) != std::string::npos; start = colon + 1) {
    fields.push_back(body.substr(start, colon - start));
  }
  fields.push_back(body.substr(start));
  return fields;
}

std::string Escape(const std::string& bytes) {
  std::string text;
  for (const unsigned char c : bytes) {
    if (c == '\r') text += "\\r";
    else if (c == '\n') text += "\\n";
    else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      text += hex;
    } else text += static_cast<char>(c);
  }
  return text;
}

size_t ChangedCount(const std::vector<std::string>& fields, const std::vector<std::string>& previous) {
  size_t changed = fields.size() > previous.size() ? fields.size() - previous.size()
                                                   : previous.size() - fields.size();
  for (size_t i = 0; i < std::min(fields.size(), previous.size()); ++i) {
    if (fields[i] != previous[i]) ++changed;
  }
  return changed;
}

std::string FieldTable(const CodeInfo* info, const std::vector<std::string>& fields,
                       const std::vector<std::string>* previous) {
  size_t width = 0;
  for (size_t i = 0; i < fields.size(); ++i) width = std::max(width, Name(info, i).size());
  std::string table;
  for (size_t i = 0; i < fields.size(); ++i) {
    const bool changed = previous && (i >= previous->size() || (*previous)[i] != fields[i]);
    std::string number = std::to_string(i + 1);
    number.insert(0, number.size() < 3 ? 3 - number.size() : 0, ' ');
    std::string name = Name(info, i);
    name.resize(width, ' ');
    const FieldInfo* field = Info(info, i);
    const std::string unit = field && *field->unit ? std::string("  ") + field->unit : "";
    table += std::string(changed ? "*" : " ") + number + "  " + name + "  \"" + Escape(fields[i]) + "\"" +
             unit + "\n";
  }
  const size_t expected = info && info->schema ? info->schema->fields.size() : 0;
  if (info && info->kind == CodeKind::kReply && fields.size() != expected) {
    table += "note: " + std::to_string(fields.size()) + " fields, where " + info->code + " has " +
             std::to_string(expected) + " (a field holding ':' splits in two)\n";
  }
  return table;
}

}  // namespace tavelor::probe
