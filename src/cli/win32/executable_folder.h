// Where a Windows program's own files are: the folder of its executable, however long its path.
#pragma once

#include <windows.h>

#include <string>

namespace tavelor::cli {

// The executable's folder, ending with the path separator; ".\" when the system will not say.
inline std::string ExecutableFolder() {
  std::string path(MAX_PATH, '\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = GetModuleFileNameA(NULL, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return ".\\";
    if (length < path.size()) {
      path.resize(length);
      return path.substr(0, path.find_last_of("\\/") + 1);
    }
    path.resize(path.size() * 2);  // truncated: a longer path than MAX_PATH
  }
  return ".\\";
}

}  // namespace tavelor::cli
