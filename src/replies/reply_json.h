// Panel replies as named values, and the schema of every reply, in JSON: one writer, on the JSON
// library, for `tavelor-probe --json`, tavelor-web's stream and its /schema.json alike, so that
// a program gets the same values whichever it asks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "replies/reply_schema.h"

namespace tavelor {

struct ReplyJson {
  // One line of JSON: "code", then "fields" ({"dme1":12.3,...,"transponder":"7000",...}),
  // then "line", the reply without its CR LF. In "fields" a numeric field is the number its
  // text shows, in the field table's unit; any other field its text. A numeric field whose text is not a number ("   Nan", a BCD digit of
  // "11A.2F") is null, and "unreadable" lists such fields by name. A line that does not have
  // the schema's fields has empty "fields", and "error". Plain ASCII: characters beyond it are
  // escaped (\u00e9).
  std::string message;
  std::vector<std::string> unreadable;  // names of the numeric fields whose text is no number
  std::string error;                    // why the line does not fit the schema; "" when it does
};
ReplyJson ReplyAsJson(const ReplySchema& schema, std::string_view line);

// Every reply's fields as JSON (number, name, label, unit, width, whether the text is a number,
// meaning and encoding), one field to a line so that it reads in a terminal too: what
// `tavelor-probe --schema` prints and tavelor-web serves as /schema.json.
std::string ReplySchemasJson();

// Texts from the simulator (identifiers, call signs, and the lines that hold them) are in the
// simulator's 8-bit code page; JSON holds them as UTF-8, decoded as Windows-1252, the code page
// of the western Windows the simulator runs on.
std::string SimulatorTextAsUtf8(std::string_view text);

}  // namespace tavelor
