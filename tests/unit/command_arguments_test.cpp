// Clients refuse to send exactly the commands the server would drop, and say which columns fail
// and why.
#include <gtest/gtest.h>

#include <string>

#include "client/command_arguments.h"
#include "server/dispatch_table.h"
#include "server/request.h"
#include "support/panel_fields.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

TEST(CommandArguments, RefuseExactlyWhatTheServerWouldDrop) {
  testing::SimLink link;
  const char* tails[] = {"",        " ",           " 1",         " 118",    " 118.50 121.50", " 1G8.50 121.50",
                         " 12345",  " -0500",      " +1",        " 1 0",    " 101325",        " 1013",
                         " abc",    " 118.250 121.500", " 99999999999999999999"};
  for (const DispatchEntry& entry : DispatchTable()) {
    if (!entry.command || entry.row->TakesRestOfRequest()) continue;
    for (const char* tail : tails) {
      const std::string text = entry.code + std::string(tail);
      const std::string dropped = testing::RequestErrorOf(
          [&](RequestState& state) { ServeRequest(state, "xx" + text); }, link.state);
      const std::string problem = client::ArgumentProblem(text);
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
      {"EBAT", "column 8, the switch: 1 on, 0 off, missing: the request ends at column 6"},
      {"BARO 1013.2", "\"1013.2\""},
  };
  for (const auto& r : refusals) EXPECT_NE(client::ArgumentProblem(r.text).find(r.says), std::string::npos) << r.text;
}

}  // namespace
}  // namespace tavelor
