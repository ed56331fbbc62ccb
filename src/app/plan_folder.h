// Where the flight plan file goes, the platform's way. Beside the program, as the simulator and
// the panels have always found it, when the program may write there and is not installed; an
// installed program's folder (under Program Files, under /usr) is never written, whoever runs
// the program, administrator and root included, so the plan then goes to a folder of the user's
// own for this program. That folder is named here but made only when the first plan is written
// (commands/plan_file.h). EXEC hands the simulator the full path either way.
#pragma once

#include <string>

namespace tavelor {

struct PlanFolderChoice {
  std::string folder;            // ends with the path separator
  bool madeByFirstPlan = false;  // the user's own folder, made with the plan file when missing
};

// `programFolder` ends with the path separator. When there is no user's folder to name (no home
// folder), the program's folder is kept: a chunk then fails with its own error, logged.
PlanFolderChoice PlanFolder(const std::string& programFolder);

}  // namespace tavelor
