#include "core/request_codes.h"

#include "core/request_text.h"
#include "text/conversions.h"

namespace tavelor {

namespace {

namespace a = arguments;
using enum ArgumentRead;
using enum CodeFamily;

std::vector<RequestCode> BuildCodes() {
  std::vector<RequestCode> codes = {
#define COMMAND(id, code, family, handler, ...) {code, CodeKind::kCommand, family, {__VA_ARGS__}, std::nullopt, "", "", 0},
#define REPLY(id, code, builder, header) {code, CodeKind::kReply, kReply, {}, ReplyCode::id, header, "", 0},
#define VERSION(code, text) {code, CodeKind::kVersion, kVersion, {}, std::nullopt, "", text, 0},
#include "core/request_codes.inc"
#undef COMMAND
#undef REPLY
#undef VERSION
  };
  for (size_t i = 0; i < codes.size(); ++i) codes[i].index = i;

  return codes;
}

}  // namespace

bool RequestCode::TakesRestOfRequest() const {
  for (const ArgumentColumns& argument : arguments)
    if (argument.read == kChunk) return true;
  return false;
}

const std::vector<RequestCode>& RequestCodes() {
  static const std::vector<RequestCode> codes = BuildCodes();
  return codes;
}

const RequestCode* FindRequestCode(std::string_view code) {
  for (const RequestCode& row : RequestCodes())
    if (code == row.code) return &row;
  return nullptr;
}

// The server compares the request's first four characters with every code: a three-letter code
// can only equal them when the request has nothing after its three letters.
const RequestCode* MatchRequestCode(std::string_view requestText) {
  return FindRequestCode(requestText.substr(0, 4));
}

const RequestCode& ReplyRow(ReplyCode reply) {
  static const std::vector<const RequestCode*> rows = [] {
    std::vector<const RequestCode*> byReply;
    for (const RequestCode& row : RequestCodes())
      if (row.reply) byReply.push_back(&row);
    return byReply;
  }();
  return *rows[static_cast<size_t>(reply)];
}

// The commands come first in the registry, in the order of their names.
const RequestCode& CommandRow(CommandCode command) { return RequestCodes()[static_cast<size_t>(command)]; }

const RequestCode& BarrierQuery() {
  static const RequestCode* barrier = [] {
    for (const RequestCode& row : RequestCodes())
      if (row.kind == CodeKind::kVersion) return &row;
    return &RequestCodes().front();  // the registry always has version codes
  }();
  return *barrier;
}

std::string TypedRequestText(const std::string& typed) {
  if (!MatchRequestCode(typed) && typed.size() > 2 && MatchRequestCode(std::string_view(typed).substr(2)))
    return typed.substr(2);
  return typed;
}

std::string ArgumentCharacters(const std::string& requestText, const ArgumentColumns& argument) {
  std::string characters = Positions(requestText, argument.first.from, argument.first.to);
  if (argument.second.from != 0) characters += Positions(requestText, argument.second.from, argument.second.to);
  return characters;
}

int32_t ArgumentValue(const std::string& requestText, const ArgumentColumns& argument) {
  const std::string characters = ArgumentCharacters(requestText, argument);
  switch (argument.read) {
    case kInteger:
      return IntValue(characters);
    case kBcd:
      // "$" in front turns each digit character into one BCD nibble unchanged.
      return IntValue("$" + characters);
    case kBcdAfterZero:
      return IntValue("$0" + characters);
    case kBits:
      return static_cast<int32_t>(BitStringValue(characters));
    case kMinus:
      return characters == "-" ? 1 : 0;
    case kChunk:
      break;
  }
  return 0;
}

CommandArguments::CommandArguments(const std::string& text, const RequestCode& code) : text_(text), code_(code), values_(code.arguments.size()) {
  for (size_t i = 0; i < code.arguments.size(); ++i) {
    const ArgumentColumns& argument = code.arguments[i];
    if (argument.byHandler) continue;
    if (argument.read == kChunk) {
      chunk_ = ArgumentCharacters(text, argument);
    } else {
      values_[i] = ArgumentValue(text, argument);
    }
  }
}

}  // namespace tavelor
