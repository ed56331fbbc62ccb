// The plan file on Windows: opened as itself, never as the target of a link. A reparse point
// (a symbolic link, a junction, a mount point) in its place is refused, as is anything that is
// not a file on a disk.
#include "commands/plan_file.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>

namespace tavelor {

namespace {

// The error numbers the chunk commands name (see RaiseFileError) for the system's own.
int ErrorNumber(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    default:
      return EIO;
  }
}

// The plan's folder and those above it that are missing, as the first plan makes them: a
// folder of the user's own (%LOCALAPPDATA%\TavelorServer) is not made before it is needed.
bool MakeFolders(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos || slash < 3) return false;  // "C:\" is there
  const std::string folder = path.substr(0, slash);
  if (CreateDirectoryA(folder.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
  return GetLastError() == ERROR_PATH_NOT_FOUND && MakeFolders(folder) &&
         (CreateDirectoryA(folder.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS);
}

PlanFileOpening Failed(HANDLE file) {
  const int error = ErrorNumber(GetLastError());
  CloseHandle(file);
  return {nullptr, error, {}};
}

}  // namespace

PlanFileOpening OpenPlanFile(const std::string& path, PlanOpen mode, bool makeFolder) {
  // Opened without emptying it: a reparse point found there must be left as it is.
  const auto open = [&] {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       mode == PlanOpen::kCreate ? OPEN_ALWAYS : OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
  };
  HANDLE file = open();
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND && makeFolder &&
      mode == PlanOpen::kCreate && MakeFolders(path)) {
    file = open();
  }
  if (file == INVALID_HANDLE_VALUE) return {nullptr, ErrorNumber(GetLastError()), {}};
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(file, &info)) return Failed(file);
  const char* refusal = nullptr;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    refusal = "the plan file is a reparse point (a link)";
  } else if (GetFileType(file) != FILE_TYPE_DISK) {
    refusal = "the plan file is not a regular file";
  } else if (info.nNumberOfLinks > 1) {
    // A hard link is the other file itself under a second name: writing would overwrite it.
    refusal = "the plan file is a hard link to another file";
  }
  if (refusal) {
    CloseHandle(file);
    return {nullptr, 0, refusal};
  }
  if (mode == PlanOpen::kCreate && !SetEndOfFile(file)) return Failed(file);
  LARGE_INTEGER end = {};
  if (!SetFilePointerEx(file, end, NULL, FILE_END)) return Failed(file);
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
  if (fd < 0) return Failed(file);
  std::FILE* stream = _fdopen(fd, "wb");
  if (!stream) {
    _close(fd);  // closes the handle too
    return {nullptr, EIO, {}};
  }
  return {stream, 0, {}};
}

}  // namespace tavelor
