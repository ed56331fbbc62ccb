#include "reference/reference_tables.h"

#include <set>
#include <vector>

#include "core/request_codes.h"
#include "replies/reply_schema.h"
#include "text/lower_case.h"

namespace tavelor::reference {

namespace {

constexpr const char* kDash = "\u2013";  // ranges of columns, as the prose writes them

struct Family {
  CodeFamily family;
  const char* title;
};
constexpr Family kFamilies[] = {
    {CodeFamily::kRadio, "Radio and transponder commands"},
    {CodeFamily::kAutopilot, "Autopilot commands"},
    {CodeFamily::kSystems, "Systems, lights and controls commands"},
    {CodeFamily::kFlightPlan, "Flight plan commands"},
    {CodeFamily::kReply, "Panel replies"},
    {CodeFamily::kVersion, "Version queries"},
};


// A table cell: a bar inside it would end the cell.
std::string Cell(std::string_view text) {
  std::string cell;
  for (const char c : text) {
    if (c == '|') cell += '\\';
    cell += c;
  }
  return cell;
}

std::string Quoted(std::string_view text) { return text.empty() ? "" : "`" + std::string(text) + "`"; }

std::string CodesPart() {
  std::string part = std::to_string(RequestCodes().size()) + " codes:\n\n| Kind | Codes |\n|---|---|\n";
  for (const Family& family : kFamilies) {
    part += "| " + std::string(family.title) + " |";
    for (const RequestCode& row : RequestCodes()) {
      if (row.family == family.family) part += " [`" + std::string(row.code) + "`](#" + LowerCase(row.code) + ")";
    }
    part += " |\n";
  }
  return part;
}

// "9–10, 12–13"; `offset` 2 gives a client's columns, 0 the server's positions.
std::string Span(const ArgumentColumns& a, int offset) {
  const auto one = [offset](PositionSpan s) {
    const std::string from = std::to_string(s.from + offset);
    return s.from == s.to ? from : from + kDash + std::to_string(s.to + offset);
  };
  return a.second.from == 0 ? one(a.first) : one(a.first) + ", " + one(a.second);
}

const char* ReadAs(ArgumentRead read) {
  switch (read) {
    case ArgumentRead::kInteger:
      return "a whole number: blanks, then `-` or `+`, may stand in front; nothing after "
             "([Number forms](#number-forms))";
    case ArgumentRead::kBcd:
      return "BCD: each character one hexadecimal digit, as it is";
    case ArgumentRead::kBcdAfterZero:
      return "BCD behind a `0`: each character one hexadecimal digit, as it is";
    case ArgumentRead::kBits:
      return "bits: `1` a set bit, any other character a clear one; the last column is bit 0";
    case ArgumentRead::kMinus:
      return "`-`: negative; any other character, or none, positive";
    case ArgumentRead::kChunk:
      return "every byte to the request's end, as it is (at most 995)";
  }
  return "";
}

std::string ArgumentsPart(const RequestCode& row) {
  if (row.arguments.empty()) return "Takes no argument: whatever follows the code is not read.\n";
  std::string part = "| Columns | Positions | Argument | Read as |\n|---|---|---|---|\n";
  for (const ArgumentColumns& a : row.arguments) {
    part += "| " + Span(a, 2) + " | " + Span(a, 0) + " | " + Cell(a.what) + " | " + ReadAs(a.read) + " |\n";
  }
  return part;
}

std::string FieldsPart(const ReplySchema& schema) {
  std::string part = "Fields: " + std::to_string(schema.fields.size()) +
                     "\n\n| # | Name | Label | Meaning | Unit | Encoding | Width |\n"
                     "|---|---|---|---|---|---|---|\n";
  for (const FieldInfo& f : schema.fields) {
    part += "| " + std::to_string(f.number) + " | `" + f.name + "` | " + Cell(f.label) + " | " + Cell(f.meaning) +
            " | " + Quoted(f.unit) + " | " + Cell(f.encoding) + " | " + std::to_string(f.width) + " |\n";
  }
  return part;
}

}  // namespace

std::string GeneratedPart(std::string_view what) {
  if (what == "codes") return CodesPart();
  const size_t blank = what.find(' ');
  if (blank == std::string_view::npos) return "";
  const std::string_view kind = what.substr(0, blank);
  const RequestCode* row = FindRequestCode(what.substr(blank + 1));
  if (!row) return "";
  if (kind == "arguments" && row->kind == CodeKind::kCommand) return ArgumentsPart(*row);
  if (kind == "fields" && row->reply) return FieldsPart(ReplySchemaOf(*row->reply));
  return "";
}

Regenerated Regenerate(std::string_view document) {
  Regenerated result;
  std::set<std::string> seen;
  std::vector<std::string> problems;
  size_t at = 0;
  while (at < document.size()) {
    size_t end = document.find('\n', at);
    end = end == std::string_view::npos ? document.size() : end + 1;
    const std::string_view line = document.substr(at, end - at);
    result.document += line;
    at = end;
    if (!line.starts_with(kGeneratedStart) || !line.ends_with(" -->\n")) continue;
    const std::string what(line.substr(kGeneratedStart.size(), line.size() - kGeneratedStart.size() - 5));
    const size_t close = document.find(std::string("\n") + std::string(kGeneratedEnd), at - 1);
    if (close == std::string_view::npos) {
      problems.push_back("\"" + what + "\" has no end mark");
      break;
    }
    const std::string part = GeneratedPart(what);
    if (part.empty()) problems.push_back("\"" + what + "\" names no code of its kind");
    if (!seen.insert(what).second) problems.push_back("\"" + what + "\" is generated twice");
    result.document += part;
    at = close + 1;  // the end mark's line is copied as it stands
  }
  // Every code has its parts, so that a new code cannot go without a reference.
  if (!seen.count("codes")) problems.push_back("the list of codes is missing");
  for (const RequestCode& row : RequestCodes()) {
    const std::string what = row.kind == CodeKind::kCommand ? "arguments " + std::string(row.code)
                             : row.reply                     ? "fields " + std::string(row.code)
                                                             : "";
    if (!what.empty() && !seen.count(what)) problems.push_back("\"" + what + "\" is missing");
  }
  for (const std::string& problem : problems) result.problem += (result.problem.empty() ? "" : "; ") + problem;
  return result;
}

}  // namespace tavelor::reference
