#include "recording/new_file.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>

namespace tavelor::recording {

std::FILE* CreateNewFile(const std::string& path) {
  // CREATE_NEW fails on any name that exists, a link or junction included.
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
  if (handle == INVALID_HANDLE_VALUE) {
    switch (GetLastError()) {
      case ERROR_FILE_EXISTS:
      case ERROR_ALREADY_EXISTS:
        errno = EEXIST;
        break;
      case ERROR_PATH_NOT_FOUND:
      case ERROR_FILE_NOT_FOUND:
        errno = ENOENT;
        break;
      case ERROR_ACCESS_DENIED:
        errno = EACCES;
        break;
      default:
        errno = EIO;
    }
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    errno = EIO;
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
}

}  // namespace tavelor::recording
