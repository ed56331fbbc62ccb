// Where the flight plan file goes, the platform's way. Beside the program, as the simulator and
// the panels have always found it, when the program may write there; an installed program's
// folder is not writable (Program Files, /usr), so the plan then goes to a folder of the user's
// own for this program, made when missing. EXEC hands the simulator the full path either way.
#pragma once

#include <string>

namespace tavelor {

// `programFolder` and the answer end with the path separator. When the user's folder cannot be
// made either, the program's folder is kept: a chunk then fails with its own error, logged.
std::string PlanFolder(const std::string& programFolder);

}  // namespace tavelor
