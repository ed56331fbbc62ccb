// The plan's folder on Windows: the program's own when a file can be made there and it is not
// under Program Files, else %LOCALAPPDATA%\TavelorServer, made by the first plan. An install
// under Program Files is never written to: not by a user, who may not, nor by an administrator,
// who may (the README asks to run the server as one when the simulator runs as one).
#include "app/plan_folder.h"

#include <windows.h>

namespace tavelor {

namespace {

// A file made and deleted at once says more than the folder's attributes or its access list:
// it is what the plan's first chunk will do.
bool CanMakeFileIn(const std::string& folder) {
  const std::string probe = folder + "TavelorServer-" + std::to_string(GetCurrentProcessId()) + ".tmp";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

std::string Environment(const char* name) {
  char value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? "" : std::string(value, length);
}

std::string LocalAppDataFolder() {
  const std::string base = Environment("LOCALAPPDATA");
  return base.empty() ? "" : base + "\\TavelorServer\\";
}

// Under one of the Program Files folders (the 64-bit one, and the 32-bit one beside it).
bool Installed(const std::string& folder) {
  for (const char* name : {"ProgramFiles", "ProgramW6432", "ProgramFiles(x86)"}) {
    const std::string root = Environment(name);
    if (!root.empty() && folder.size() > root.size() &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, folder.c_str(), static_cast<int>(root.size()),
                       root.c_str(), static_cast<int>(root.size())) == CSTR_EQUAL &&
        (folder[root.size()] == '\\' || folder[root.size()] == '/'))
      return true;
  }
  return false;
}

}  // namespace

PlanFolderChoice PlanFolder(const std::string& programFolder) {
  if (!Installed(programFolder) && CanMakeFileIn(programFolder)) return {programFolder, false};
  const std::string own = LocalAppDataFolder();
  return own.empty() ? PlanFolderChoice{programFolder, false} : PlanFolderChoice{own, true};
}

}  // namespace tavelor
