// docs/protocol.md, the panel author's reference, held against the registry: a section for
// every code with an example that sends it (the examples' output is checked by running them,
// e2e/examples_e2e_test.cpp; the tables by regenerating them, tavelor-reference --check), and
// every unit of the field tables explained.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "core/request_codes.h"
#include "replies/reply_schema.h"

namespace tavelor {
namespace {

struct Section {
  std::string text;
  bool sendsItsCode = false;  // a console example writes the code to the panel port
};

std::map<std::string, Section> ReadSections(std::string* units) {
  std::ifstream file(std::string(TAVELOR_SOURCE_DIR) + "/docs/protocol.md");
  std::map<std::string, Section> sections;
  std::string current;
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("### ", 0) == 0) current = line.substr(4);
    if (current == "Units") *units += line + "\n";
    if (current.size() < 3 || current.front() != '`') continue;
    const std::string code = current.substr(1, current.find('`', 1) - 1);
    Section& section = sections[code];
    section.text += line + "\n";
    if (line.rfind("$ printf 'xx" + code, 0) == 0) section.sendsItsCode = true;
  }
  return sections;
}

TEST(ProtocolReference, HasASectionWithAnExampleForEveryCode) {
  std::string units;
  const std::map<std::string, Section> sections = ReadSections(&units);
  ASSERT_FALSE(sections.empty()) << "docs/protocol.md not found or without sections";
  for (const RequestCode& row : RequestCodes()) {
    const auto section = sections.find(row.code);
    ASSERT_NE(section, sections.end()) << "docs/protocol.md has no section for " << row.code;
    EXPECT_TRUE(section->second.sendsItsCode) << row.code << ": no example sends it";
  }
}

TEST(ProtocolReference, ExplainsEveryUnit) {
  std::string units;
  ReadSections(&units);
  for (const ReplySchema& schema : ReplySchemas()) {
    for (const FieldInfo& field : schema.fields) {
      if (*field.unit) {
        EXPECT_NE(units.find("`" + std::string(field.unit) + "`"), std::string::npos) << field.unit;
      }
    }
  }
}

}  // namespace
}  // namespace tavelor
