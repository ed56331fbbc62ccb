// What the probe knows of the server's request codes, from the server's registry
// (core/request_codes.h): which are commands, panel replies or version queries, and for a panel
// reply its fields (replies/reply_schema.h).
#pragma once

#include <string>
#include <vector>

#include "replies/reply_schema.h"

namespace tavelor::probe {

enum class CodeKind { kCommand, kReply, kVersion };

struct CodeInfo {
  std::string code;                 // three or four letters, as the server compares them
  CodeKind kind;
  bool takesRestOfRequest = false;  // flight plan chunks own every byte up to the request's end
  const ReplySchema* schema = nullptr;  // panel replies: their fields, in line order
  const RequestCode* row = nullptr;     // the registry's row: arguments, the code's length
};

const std::vector<CodeInfo>& KnownCodes();

// The code a request text (without the two leading characters) starts with, matched as the
// server matches it: four-letter codes ignore what follows them, three-letter codes match only
// a request of exactly three characters. nullptr when the probe knows no such code.
const CodeInfo* FindCode(const std::string& requestText);

// The bytes to write for a request typed by a user: two leading characters and the request.
// A request that already carries them ("xxRADI", as in the README's nc examples) keeps its own
// (TypedRequestText: tavelor-web's sends are read the same way).
std::string WireRequest(const std::string& request);

// The request text of wire bytes: what follows the two leading characters.
std::string RequestTextOfWire(const std::string& wire);

}  // namespace tavelor::probe
