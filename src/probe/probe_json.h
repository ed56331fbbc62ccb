// The probe's machine-readable output for one reply: named values, numbers as numbers in the
// units the schema gives. (The schema of every reply is ReplySchemasJson().)
#pragma once

#include <string>
#include <vector>

#include "replies/reply_schema.h"

namespace tavelor::probe {

// {"code":"RADI","values":{"dme1":12.3,...,"transponder":"7000",...}} on one line: a numeric
// field as the number its text shows, any other field (and a numeric field whose text is not a
// number) as its text.
std::string ReplyJson(const ReplySchema& schema, const std::vector<FieldValue>& values);

}  // namespace tavelor::probe
