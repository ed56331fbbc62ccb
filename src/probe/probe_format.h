// How the probe shows an answer: a panel reply as a table of labelled fields, with the fields
// that changed since the previous poll marked.
#pragma once

#include <string>
#include <vector>

#include "probe/probe_codes.h"

namespace tavelor::probe {

// The fields of a reply line: every field ends with ":", the line with CR LF.
std::vector<std::string> SplitReply(const std::string& line);

// A panel reply's line: it ends with ":" and CR LF (a version text or "noversion" does not).
bool IsReplyLine(const std::string& answer);

// Printable text of bytes: control and 8-bit bytes as \xNN, CR and LF as \r and \n.
std::string Escape(const std::string& bytes);

// One row per field: a mark ("*" when `previous` is given and the field differs from it, or
// is new), its number, its name, its text in quotes (so leading blanks show) and its unit.
// Fields beyond the schema's are named by number, and a closing note says that the count
// differs from the one expected.
std::string FieldTable(const CodeInfo* info, const std::vector<std::string>& fields,
                       const std::vector<std::string>* previous = nullptr);

// How many fields differ from the previous poll (added and dropped ones count too).
size_t ChangedCount(const std::vector<std::string>& fields, const std::vector<std::string>& previous);

}  // namespace tavelor::probe
