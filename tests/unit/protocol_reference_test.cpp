// docs/protocol.md, the panel author's reference, held against the server: a section for every
// code of the dispatch table, each section's example request served as the section says (a
// command accepted and answering nothing, a reply with the field count given, a version query
// with the answer given), and every field of every reply named as its table names it.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "probe/probe_format.h"
#include "replies/reply_schema.h"
#include "server/dispatch_table.h"
#include "server/request.h"
#include "sim/sim_peer.h"
#include "support/sim_link.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

struct Section {
  std::vector<std::string> examples;  // from "Example: `...`"
  int fields = -1;                    // from "Fields: N"
  std::string answer;                 // from "Answer: `...`"
  std::vector<std::vector<std::string>> rows;  // field tables: #, name, label, unit, width
};
std::string units;  // the text of the Units part

// The text between the first pair of backticks after `prefix`, when the line starts with it.
std::optional<std::string> Quoted(const std::string& line, const std::string& prefix) {
  if (line.rfind(prefix, 0) != 0) return std::nullopt;
  const size_t open = line.find('`', prefix.size());
  const size_t close = open == std::string::npos ? open : line.find('`', open + 1);
  if (close == std::string::npos) return std::nullopt;
  return line.substr(open + 1, close - open - 1);
}

std::map<std::string, Section> ReadReference() {
  std::ifstream file(std::string(TAVELOR_SOURCE_DIR) + "/docs/protocol.md");
  std::map<std::string, Section> sections;
  Section* current = nullptr;
  for (std::string line; std::getline(file, line);) {
    if (const auto code = Quoted(line, "### ")) {
      current = &sections[*code];
    } else if (line == "### Units") {
      current = &sections["Units"];
    } else if (!current) {
      continue;
    } else if (const auto example = Quoted(line, "Example: ")) {
      current->examples.push_back(*example);
    } else if (const auto answer = Quoted(line, "Answer: ")) {
      current->answer = *answer;
    } else if (line.rfind("Fields: ", 0) == 0) {
      current->fields = std::stoi(line.substr(8));
    } else if (line.rfind("| ", 0) == 0 && std::isdigit(static_cast<unsigned char>(line[2]))) {
      std::vector<std::string> cells;
      for (size_t bar = 0, next; (next = line.find(" |", bar + 1)) != std::string::npos; bar = next + 1) {
        cells.push_back(line.substr(bar + 2, next - bar - 2));
      }
      if (cells.size() == 7) current->rows.push_back({cells[0], cells[1], cells[2], cells[4], cells[6]});
    }
    if (current == &sections["Units"]) units += line + "\n";
  }
  return sections;
}

TEST(ProtocolReference, HasASectionWithOneExampleForEveryCode) {
  const std::map<std::string, Section> sections = ReadReference();
  ASSERT_FALSE(sections.empty()) << "docs/protocol.md not found or without sections";
  for (const DispatchEntry& entry : DispatchTable()) {
    const auto section = sections.find(entry.code);
    ASSERT_NE(section, sections.end()) << "docs/protocol.md has no section for " << entry.code;
    EXPECT_EQ(section->second.examples.size(), 1u) << entry.code;
  }
}

TEST(ProtocolReference, NamesEveryReplyFieldAsItsTableDoes) {
  const std::map<std::string, Section> sections = ReadReference();
  for (const ReplySchema& schema : ReplySchemas()) {
    SCOPED_TRACE(schema.code);
    const auto section = sections.find(schema.code);
    ASSERT_NE(section, sections.end());
    ASSERT_EQ(section->second.rows.size(), schema.fields.size());
    std::set<std::string> names;
    for (size_t i = 0; i < schema.fields.size(); ++i) {
      const FieldInfo& f = schema.fields[i];
      EXPECT_EQ(f.number, static_cast<int>(i + 1));
      EXPECT_TRUE(names.insert(f.name).second) << f.name << " names two fields";
      const std::string unit = *f.unit ? "`" + std::string(f.unit) + "`" : "";
      EXPECT_EQ(section->second.rows[i], (std::vector<std::string>{std::to_string(f.number),
                                           "`" + std::string(f.name) + "`", f.label, unit,
                                           std::to_string(f.width)}));
      EXPECT_NE(units.find(unit), std::string::npos) << unit << " is not among the Units";
    }
  }
}

TEST(ProtocolReference, ExamplesAreServedAsTheirSectionsSay) {
  const std::map<std::string, Section> sections = ReadReference();
  testing::SimLink link;
  sim::LoadParkedAircraft(link.peer.Memory());
  // The flight plan examples write their file beside the program: here, a folder of its own.
  const auto folder = std::filesystem::temp_directory_path() / "tavelor-reference-test";
  std::filesystem::create_directories(folder);
  link.state.AppFolder = folder.string() + "/";

  for (const DispatchEntry& entry : DispatchTable()) {
    const auto section = sections.find(entry.code);
    if (section == sections.end()) continue;  // reported by the test above
    for (const std::string& example : section->second.examples) {
      SCOPED_TRACE(example);
      link.TakeJournal();
      std::optional<std::string> answer;
      try {
        answer = ServeRequest(link.state, example);
      } catch (const RequestError& error) {
        ADD_FAILURE() << "refused: " << error.what();
        continue;
      }
      if (entry.command) {
        EXPECT_FALSE(answer.has_value());
        const std::string code = entry.code;
        const bool writesToSimulator = code == "EXEC" || (code != "APMM" && code.rfind("PL", 0) != 0);
        if (writesToSimulator) {
          EXPECT_FALSE(link.TakeJournal().empty()) << "nothing reached the simulator";
        }
      } else if (entry.reply) {
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(static_cast<int>(probe::SplitReply(*answer).size()), section->second.fields);
        const auto values = ReadReplyLine(*FindReplySchema(entry.code), *answer);
        ASSERT_TRUE(values.has_value());
        for (const FieldValue& value : *values) {  // the parked aircraft's values are in range
          EXPECT_EQ(value.text.size(), static_cast<size_t>(value.info->width)) << value.info->name;
          EXPECT_EQ(value.number.has_value(), value.info->numeric) << value.info->name;
        }
      } else {
        EXPECT_EQ(answer, section->second.answer + "\r\n");
      }
    }
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tavelor
