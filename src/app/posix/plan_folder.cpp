// The plan's folder on Linux: the program's own when this user may write there and it is not
// under /usr (where a package puts the program, and which nothing writes at run time, root
// included), else $XDG_STATE_HOME/tavelor, by default ~/.local/state/tavelor, made by the first
// plan.
#include "app/plan_folder.h"

#include <unistd.h>

#include <cstdlib>

namespace tavelor {

namespace {

std::string StateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  if (state && *state == '/') return std::string(state) + "/tavelor/";
  if (home && *home == '/') return std::string(home) + "/.local/state/tavelor/";
  return "";
}

}  // namespace

PlanFolderChoice PlanFolder(const std::string& programFolder) {
  const bool installed = programFolder.rfind("/usr/", 0) == 0;
  if (!installed && access(programFolder.c_str(), W_OK) == 0) return {programFolder, false};
  const std::string own = StateFolder();
  return own.empty() ? PlanFolderChoice{programFolder, false} : PlanFolderChoice{own, true};
}

}  // namespace tavelor
