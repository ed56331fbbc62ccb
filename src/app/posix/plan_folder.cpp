// The plan's folder on Linux: the program's own when this user may write there and it is not
// under /usr (where a package puts the program, and which nothing writes at run time, root
// included), else $XDG_STATE_HOME/tavelor, by default ~/.local/state/tavelor.
#include "app/plan_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tavelor {

namespace {

bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST; }

std::string StateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  std::string base;
  if (state && *state == '/') {
    base = state;
  } else if (home && *home == '/') {
    base = std::string(home) + "/.local";
    if (!MakeFolder(base)) return "";
    base += "/state";
  } else {
    return "";
  }
  if (!MakeFolder(base) || !MakeFolder(base + "/tavelor")) return "";
  return base + "/tavelor/";
}

}  // namespace

std::string PlanFolder(const std::string& programFolder) {
  const bool installed = programFolder.rfind("/usr/", 0) == 0;
  if (!installed && access(programFolder.c_str(), W_OK) == 0) return programFolder;
  const std::string own = StateFolder();
  return own.empty() ? programFolder : own;
}

}  // namespace tavelor
