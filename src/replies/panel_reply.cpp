#include "replies/panel_reply.h"

#include "core/globals.h"
#include "core/log.h"

namespace tavelor {

namespace {

template <typename Fields>
std::string JoinFields(const Fields& fields) {
  std::string line;
  for (const std::string& field : fields) {
    line += field;
    line += ':';
  }
  return line + "\r\n";
}

}  // namespace

PanelReply& PanelReply::Field(const char* label, std::string text) {
  logLines_.emplace_back(label, text);
  fields_.push_back(std::move(text));
  return *this;
}

PanelReply& PanelReply::Field(std::string text) {
  fields_.push_back(std::move(text));
  return *this;
}

PanelReply& PanelReply::Log(const char* label, std::string text) {
  logLines_.emplace_back(label, std::move(text));
  return *this;
}

std::string PanelReply::Finish() const {
  std::string line = JoinFields(fields_);
  if (DebugEnabled) {
    LogLine(header_);
    for (const auto& [label, text] : logLines_) LogLine(std::string("- ") + label + ":" + text);
  }
  return line;
}

std::string ReplyLine(std::initializer_list<std::string> fields) { return JoinFields(fields); }

void LogDebugBlock(const std::string& header,
                   std::initializer_list<std::pair<const char*, std::string>> values) {
  if (!DebugEnabled) return;
  LogLine(header);
  for (const auto& [label, text] : values) LogLine(std::string("- ") + label + ":" + text);
}

}  // namespace tavelor
