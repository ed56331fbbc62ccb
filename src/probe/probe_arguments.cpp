// Each command's arguments as the server cuts and parses them: pieces of the request at fixed
// positions (the server counts from after the two leading characters; a client's columns are
// two more), joined, put behind "$" where the digits are binary-coded decimal, and parsed with
// the server's own integer parse. Arguments that cannot fail (bit rows, flight plan chunks, the
// sign of APVS) are not listed.
#include "probe/probe_arguments.h"

#include <cstddef>
#include <string_view>
#include <vector>

#include "core/request_text.h"
#include "text/conversions.h"
#include "text/request_error.h"

namespace tavelor::probe {

namespace {

struct Span {
  size_t from = 0, to = 0;  // positions in the request text; from 0: no such piece
};

struct Argument {
  const char* what;
  const char* prefix;  // "$": BCD digits read as hexadecimal; "$0" for the ADF's three
  Span first, second;  // the pieces, joined
};

struct CommandArguments {
  std::string_view codes;  // every code with these arguments, blank-separated
  std::vector<Argument> arguments;
};

const Argument kDigit{"the digit", "", {6, 6}, {}};
const Argument kDegrees{"the degrees", "", {6, 8}, {}};

const std::vector<CommandArguments>& Table() {
  static const std::vector<CommandArguments> table = {
      {"COM1 COM2 NAV1 NAV2",
       {{"the active frequency's digits", "$", {7, 8}, {10, 11}},
        {"the standby frequency's digits", "$", {14, 15}, {17, 18}}}},
      {"CO11 CO22",
       {{"the active frequency", "", {6, 8}, {10, 12}}, {"the standby frequency", "", {14, 16}, {18, 20}}}},
      {"ADF0", {{"the frequency's digits", "$0", {6, 8}, {}}}},
      {"TRA0", {{"the code's digits", "$", {6, 9}, {}}}},
      {"APGP APAP APFD APYD APLV APNA APPR APGS APHH APAA APMM "
       "EBAT EALT EAVI EFUE EICE EPIT ECOW LAND FLAP MAGN",
       {kDigit}},
      {"APSP", {{"the switch digit", "", {6, 6}, {}}, {"the speed reference mode", "", {7, 7}, {}}}},
      {"APAL", {{"the feet", "", {6, 10}, {}}}},
      {"APVS", {{"the feet per minute", "", {7, 10}, {}}}},
      {"APHD APCR OBS2 AOBS", {kDegrees}},
      {"APIA", {{"the knots", "", {6, 8}, {}}}},
      {"APMA", {{"the Mach number in hundredths", "", {6, 8}, {}}}},
      {"BARO", {{"the hectopascals times 100", "", {6, 11}, {}}}},
      {"FLPS", {{"the lever position", "", {6, 10}, {}}}},
      {"GDRF", {{"the degrees", "", {6, 9}, {}}}},
  };
  return table;
}

const CommandArguments* Find(const std::string& code) {
  if (code.size() != 4) return nullptr;
  for (const CommandArguments& command : Table()) {
    for (size_t at = 0; at + 4 <= command.codes.size(); at += 5)
      if (command.codes.substr(at, 4) == code) return &command;
  }
  return nullptr;
}

// "columns 9-10 and 12-13": the client's columns are the server's positions plus two.
std::string Columns(const Argument& a) {
  const auto span = [](Span s) {
    return s.from == s.to ? std::to_string(s.from + 2) : std::to_string(s.from + 2) + "-" + std::to_string(s.to + 2);
  };
  if (a.second.from == 0) return (a.first.from == a.first.to ? "column " : "columns ") + span(a.first);
  return "columns " + span(a.first) + " and " + span(a.second);
}

}  // namespace

std::string ArgumentProblem(const std::string& requestText) {
  const CommandArguments* command = Find(RequestCodeOf(requestText));
  if (!command) return "";
  for (const Argument& a : command->arguments) {
    std::string digits = Positions(requestText, a.first.from, a.first.to);
    if (a.second.from != 0) digits += Positions(requestText, a.second.from, a.second.to);
    const std::string text = a.prefix + digits;
    try {
      IntValue(text);
    } catch (const RequestError& error) {
      const std::string why =
          requestText.size() < a.first.from
              ? "missing: the request ends at column " + std::to_string(requestText.size() + 2)
              : "\"" + digits + "\", which is not a whole number" +
                    (*a.prefix == '$' ? " of digits" : " (digits, at most a sign or blanks in front)");
      return Columns(a) + ", " + a.what + ", " + why + ". The server would drop the command and log \"- Error: " +
             ErrorDisplayText(error.what()) + "\"";
    }
  }
  return "";
}

}  // namespace tavelor::probe
