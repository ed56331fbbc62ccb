// Opening the flight plan file, the one file the server writes, the platform's way. A client
// chooses what goes into the file but not where it goes: whoever may write to the program's
// folder could otherwise put a link under the plan's name and have a chunk overwrite the file
// it names, or a pipe that holds the server at its open. So a plan file that is a link (on
// Windows, any reparse point), a hard link (a file with a second name) or not a regular file is
// refused, and the open never waits.
#pragma once

#include <cstdio>
#include <string>

namespace tavelor {

enum class PlanOpen {
  kCreate,  // create the file, or empty it
  kAppend,  // an existing file, written at its end
};

struct PlanFileOpening {
  std::FILE* file = nullptr;  // open for writing, positioned at the end; the caller closes it
  int error = 0;              // else the failure's error number (errno values)...
  std::string refusal;        // ...or why the file there is not taken ("the plan file is ...")
};

// `makeFolder`: a missing folder of the file (and those above it) is made for a new plan.
PlanFileOpening OpenPlanFile(const std::string& path, PlanOpen mode, bool makeFolder = false);

}  // namespace tavelor
