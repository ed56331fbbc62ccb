// What every field of every panel reply is: its place on the line, its name, its debug label,
// its unit and width, whether its text is a number, its meaning and its encoding. Built from the
// panels' own tables (replies/tables/) for the replies of the registry (core/request_codes.inc),
// so the server's lines, the probe, the JSON, tavelor-web and docs/protocol.md (generated from
// them) all speak of the same fields. Standard headers only: the probe and other clients link it without
// the simulator link or the server.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/request_codes.h"

namespace tavelor {

struct FieldInfo {
  int number;          // place on the line, from 1
  const char* name;    // short, lower-case, stable within its code: "dme1", "com1_standby"
  const char* label;   // the debug block's label for it; "" where the block has none
  const char* unit;    // unit token ("nm", "0.01 deg", "ft/min"...); "" for texts and codes
  int width;           // characters, for values in their usual range
  bool numeric;        // the text is a number: JSON gives it as one
  bool simulatorText;  // copied from simulator memory (identifiers, call signs)
  const char* meaning;   // what the field shows, for a reader of the reference
  const char* encoding;  // how its text holds it: limits, sign, special texts, digits dropped
};

struct ReplySchema {
  const char* code;               // its registry row's code
  std::vector<FieldInfo> fields;  // in line order
};

const std::vector<ReplySchema>& ReplySchemas();             // every panel reply, in the registry's order
const ReplySchema& ReplySchemaOf(ReplyCode reply);
const ReplySchema* FindReplySchema(std::string_view code);  // nullptr for any other code

struct FieldValue {
  const FieldInfo* info;
  std::string text;              // exactly as on the line
  std::optional<double> number;  // for a numeric field whose text reads as a number, in `unit`
};

// The texts of a reply line's fields (CR LF optional), however many it has: each ends with ":".
// A line without the final ":" is not a reply line: none.
std::optional<std::vector<std::string_view>> ReplyFieldTexts(std::string_view line);
// The fields of one reply line (CR LF optional), nullopt when their count is not the schema's.
std::optional<std::vector<FieldValue>> ReadReplyLine(const ReplySchema& schema, std::string_view line);

// The number a numeric field's text shows: blanks in front, a sign, zeros in front of the sign
// (" 12.3" is 12.3, "0-6" is -6, "+0500" is 500); nullopt for any other text.
std::optional<double> FieldNumber(std::string_view text);

}  // namespace tavelor
