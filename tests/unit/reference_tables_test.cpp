// The reference's generator: it writes every part anew between its marks, keeps the prose, and
// refuses a document that misses a code's part or names a code that is none.
#include <gtest/gtest.h>

#include <string>

#include "core/request_codes.h"
#include "reference/reference_tables.h"

namespace tavelor::reference {
namespace {

// Every part the registry asks for, each with `content` between its marks.
std::string Document(const std::string& content, const std::string& skip = "") {
  std::string document = "# prose\n";
  const auto part = [&](const std::string& what) {
    if (what != skip) document += "<!-- generated: " + what + " -->\n" + content + "<!-- end of generated -->\nprose\n";
  };
  part("codes");
  for (const RequestCode& row : RequestCodes()) {
    if (row.kind == CodeKind::kCommand) part("arguments " + std::string(row.code));
    if (row.reply) part("fields " + std::string(row.code));
  }
  return document;
}

TEST(ReferenceTables, WritesEveryPartAnewAndRefusesWhatNamesNothing) {
  const std::string fresh = Regenerate(Document("stale\n")).document;
  EXPECT_EQ(Regenerate(fresh).document, fresh) << "a regenerated document is its own regeneration";
  EXPECT_EQ(fresh.find("stale"), std::string::npos);
  EXPECT_NE(fresh.find("| 10 | `adf_mod1000` | Adf |"), std::string::npos);
  EXPECT_NE(fresh.find("| 9–10, 12–13 | 7–8, 10–11 | the active frequency's digits |"), std::string::npos);
  EXPECT_NE(fresh.find("Takes no argument"), std::string::npos);  // EXEC
  const struct {
    std::string document;
    const char* problem;
  } cases[] = {
      {Document("x\n"), ""},
      {Document("x\n", "fields PFD"), "\"fields PFD\" is missing"},
      {Document("x\n", "codes"), "the list of codes is missing"},
      {Document("x\n") + "<!-- generated: fields COM1 -->\n<!-- end of generated -->\n", "names no code of its kind"},
      {Document("x\n") + "<!-- generated: fields RADI -->\n<!-- end of generated -->\n", "generated twice"},
      {Document("x\n") + "<!-- generated: codes -->\nno end\n", "has no end mark"},
  };
  for (const auto& c : cases) {
    const std::string problem = Regenerate(c.document).problem;
    if (*c.problem == '\0') {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
  }
}

}  // namespace
}  // namespace tavelor::reference
