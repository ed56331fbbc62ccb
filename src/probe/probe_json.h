// The probe's machine-readable output: the schema of every panel reply, and one reply as named
// values, numbers as numbers in the units the schema gives.
#pragma once

#include <string>
#include <vector>

#include "replies/reply_schema.h"

namespace tavelor::probe {

// Every code with its fields: number, name, label, unit, width and whether the text is a
// number. One field to a line, so that it reads in a terminal too.
std::string SchemaJson(const std::vector<ReplySchema>& schemas);

// {"code":"RADI","values":{"dme1":12.3,...,"transponder":"7000",...}} on one line: a numeric
// field as the number its text shows, any other field (and a numeric field whose text is not a
// number) as its text.
std::string ReplyJson(const ReplySchema& schema, const std::vector<FieldValue>& values);

}  // namespace tavelor::probe
