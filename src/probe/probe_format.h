// How the probe shows an answer: a panel reply as a table of labelled fields, with the fields
// that changed since the previous poll marked.
#pragma once

#include <string>
#include <vector>

#include "replies/reply_schema.h"

namespace tavelor::probe {

// Printable text of bytes: control and 8-bit bytes as \xNN, CR and LF as \r and \n.
std::string Escape(std::string_view bytes);

// One row per field: a mark ("*" when `previous` is given and the field differs from it, or
// is new), its number, its name, its text in quotes (so leading blanks show) and its unit.
// Fields beyond the schema's are named by number, and a closing note says that the count
// differs from the one expected.
std::string FieldTable(const ReplySchema* schema, const std::vector<std::string>& fields,
                       const std::vector<std::string>* previous = nullptr);

// How many fields differ from the previous poll (added and dropped ones count too).
size_t ChangedCount(const std::vector<std::string>& fields, const std::vector<std::string>& previous);

}  // namespace tavelor::probe
