#include "recording/new_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tavelor::recording {

std::FILE* CreateNewFile(const std::string& path) {
  // O_EXCL with O_CREAT fails on any name that exists, a link included, even a dangling one.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return file;
}

}  // namespace tavelor::recording
