#include "replies/panel_reply.h"

#include <cassert>

#include "core/log.h"

namespace tavelor {

PanelReply::PanelReply(const RequestState& state, ReplyCode code)
    : state_(state), schema_(&ReplySchemaOf(code)), header_(ReplyRow(code).debugHeader) {
  assert(schema_ && "a panel reply without a table");
  fields_.reserve(schema_->fields.size());
}

void PanelReply::Field(int number, std::string text) {
  assert(number == static_cast<int>(fields_.size()) + 1 && "table rows out of line order");
  (void)number;
  fields_.push_back(std::move(text));
}

const char* PanelReply::Label(int number) const { return schema_->fields[number - 1].label; }

PanelReply& PanelReply::Log(int first, int last) {
  if (!Logging()) return *this;
  for (int number = first; number <= last; ++number) LogText(Label(number), Text(number));
  return *this;
}

PanelReply& PanelReply::LogJoined(std::initializer_list<int> numbers, const char* separator) {
  if (!Logging()) return *this;
  std::string text;
  for (const int& number : numbers) {
    if (&number != numbers.begin()) text += separator;
    text += Text(number);
  }
  return LogText(Label(*numbers.begin()), std::move(text));
}

PanelReply& PanelReply::LogText(const char* label, std::string text) {
  if (Logging()) logLines_.emplace_back(label, std::move(text));
  return *this;
}

std::string PanelReply::Finish() const {
  std::string line;
  for (const std::string& field : fields_) {
    line += field;
    line += ':';
  }
  line += "\r\n";
  if (Logging()) {
    LogLine(state_.log, header_);
    for (const auto& [label, text] : logLines_)
      LogLine(state_.log, std::string("- ") + label + ":" + text);
  }
  return line;
}

}  // namespace tavelor
