// The probe refuses to send exactly the commands the server would drop, and says which columns
// fail and why.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "probe/probe_arguments.h"
#include "probe/probe_codes.h"
#include "server/dispatch_table.h"
#include "server/request.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

TEST(ProbeArguments, RefuseExactlyWhatTheServerWouldDrop) {
  testing::SimLink link;
  const char* tails[] = {"",        " ",           " 1",         " 118",    " 118.50 121.50", " 1G8.50 121.50",
                         " 12345",  " -0500",      " +1",        " 1 0",    " 101325",        " 1013",
                         " abc",    " 118.250 121.500", " 99999999999999999999"};
  for (const DispatchEntry& entry : DispatchTable()) {
    if (!entry.command || probe::FindCode(entry.code)->takesRestOfRequest) continue;
    for (const char* tail : tails) {
      const std::string text = entry.code + std::string(tail);
      const std::string dropped = testing::RequestErrorOf(
          [&](RequestState& state) { ServeRequest(state, "xx" + text); }, link.state);
      const std::string problem = probe::ArgumentProblem(text);
      EXPECT_EQ(problem.empty(), dropped.empty()) << '"' << text << "\": " << problem << dropped;
      EXPECT_NE(problem.find(dropped), std::string::npos) << text;
    }
  }
  const struct {
    const char* text;
    const char* says;
  } refusals[] = {
      {"COM1 118", "columns 16-17 and 19-20, the standby frequency's digits, missing: the request ends at column 10"},
      {"COM1 1G8.50 121.50", "columns 9-10 and 12-13, the active frequency's digits, \"G850\", which is not"},
      {"APVS -05 0", "columns 9-12, the feet per minute, \"05 0\""},
      {"EBAT", "column 8, the digit, missing: the request ends at column 6"},
      {"BARO 1013.2", "\"1013.2\""},
  };
  for (const auto& r : refusals) EXPECT_NE(probe::ArgumentProblem(r.text).find(r.says), std::string::npos) << r.text;
}

// The columns a refusal names are those the reference gives for the command (or for the command
// whose columns it says it shares).
TEST(ProbeArguments, NameTheReferencesColumns) {
  std::ifstream file(std::string(TAVELOR_SOURCE_DIR) + "/docs/protocol.md");
  std::string doc((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  for (char& c : doc) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto section = [&](std::string code) {
    for (char& c : code) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = doc.find("### `" + code + "`");
    return at == std::string::npos ? std::string() : doc.substr(at, doc.find("\n### ", at + 1) - at);
  };
  const std::regex columns("columns? [0-9]+(-[0-9]+)?( and [0-9]+-[0-9]+)?"), shared("as \\[`(\\w+)`\\]\\(#\\w+\\): same columns");
  int checked = 0;
  for (const DispatchEntry& entry : DispatchTable()) {
    std::smatch said, other;
    const std::string problem = probe::ArgumentProblem(entry.code);  // every argument missing
    if (!std::regex_search(problem, said, columns)) continue;
    std::string text = section(entry.code);
    if (std::regex_search(text, other, shared)) text = section(other[1]);
    const std::string dashed = std::regex_replace(said.str(), std::regex("-"), "\u2013");
    EXPECT_NE(text.find(dashed), std::string::npos) << entry.code << ": " << dashed;
    ++checked;
  }
  EXPECT_GE(checked, 40);  // ADF0 reads "$0" and nothing: it always parses
}

}  // namespace
}  // namespace tavelor
