// The plan's folder on Windows: the program's own when a file can be made there, else
// %LOCALAPPDATA%\TavelorServer (for an install under Program Files, which users may not write).
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

std::string LocalAppDataFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  const std::string folder = std::string(path, length) + "\\TavelorServer";
  if (!CreateDirectoryA(folder.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS) return "";
  return folder + "\\";
}

}  // namespace

std::string PlanFolder(const std::string& programFolder) {
  if (CanMakeFileIn(programFolder)) return programFolder;
  const std::string own = LocalAppDataFolder();
  return own.empty() ? programFolder : own;
}

}  // namespace tavelor
