// Each command's arguments as the server cuts and reads them: the registry's columns
// (core/request_codes.inc), read with the server's own parse. Arguments that cannot fail (bit
// rows, flight plan chunks, the sign of APVS) are not checked.
#include "client/command_arguments.h"

#include "core/request_codes.h"
#include "core/request_text.h"
#include "text/request_error.h"

namespace tavelor::client {

namespace {

bool CanFail(ArgumentRead read) {
  return read == ArgumentRead::kInteger || read == ArgumentRead::kBcd || read == ArgumentRead::kBcdAfterZero;
}

}  // namespace

std::string ColumnsText(const ArgumentColumns& a) {
  const auto span = [](PositionSpan s) {
    return s.from == s.to ? std::to_string(s.from + 2) : std::to_string(s.from + 2) + "-" + std::to_string(s.to + 2);
  };
  if (a.second.from == 0) return (a.first.from == a.first.to ? "column " : "columns ") + span(a.first);
  return "columns " + span(a.first) + " and " + span(a.second);
}

std::string ArgumentProblem(const std::string& requestText) {
  const RequestCode* code = FindRequestCode(RequestCodeOf(requestText));
  if (!code) return "";
  for (const ArgumentColumns& a : code->arguments) {
    if (!CanFail(a.read)) continue;
    try {
      ArgumentValue(requestText, a);
    } catch (const RequestError& error) {
      const std::string digits = ArgumentCharacters(requestText, a);
      const bool bcd = a.read != ArgumentRead::kInteger;
      const std::string why =
          requestText.size() < a.first.from
              ? "missing: the request ends at column " + std::to_string(requestText.size() + 2)
              : "\"" + digits + "\", which is not a whole number" +
                    (bcd ? " of digits" : " (digits, at most a sign or blanks in front)");
      return ColumnsText(a) + ", " + a.what + ", " + why + ". The server would drop the command and log \"- Error: " +
             ErrorDisplayText(error.what()) + "\"";
    }
  }
  return "";
}

}  // namespace tavelor::client
