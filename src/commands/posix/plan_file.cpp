// The plan file on Linux: opened without following a link in its place, and without waiting.
#include "commands/plan_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tavelor {

namespace {

// The plan's folder and those above it that are missing, as the first plan makes them: a
// folder of the user's own (~/.local/state/tavelor) is not made before it is needed.
bool MakeFolders(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return false;
  const std::string folder = path.substr(0, slash);
  if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return true;
  return errno == ENOENT && MakeFolders(folder) && (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST);
}

PlanFileOpening Failed(int fd) {
  const int error = errno;
  ::close(fd);
  return {nullptr, error, {}};
}

}  // namespace

PlanFileOpening OpenPlanFile(const std::string& path, PlanOpen mode, bool makeFolder) {
  // O_NONBLOCK: opening a pipe for writing would otherwise wait for a reader.
  int flags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  if (mode == PlanOpen::kCreate) flags |= O_CREAT;
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0 && errno == ENOENT && makeFolder && mode == PlanOpen::kCreate && MakeFolders(path)) {
    fd = ::open(path.c_str(), flags, 0666);
  }
  if (fd < 0) {
    if (errno == ELOOP) return {nullptr, 0, "the plan file is a symbolic link"};
    return {nullptr, errno, {}};
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Failed(fd);
  const char* refusal = nullptr;
  if (!S_ISREG(st.st_mode)) {
    refusal = "the plan file is not a regular file";
  } else if (st.st_nlink > 1) {
    // A hard link is the other file itself under a second name: writing would overwrite it.
    refusal = "the plan file is a hard link to another file";
  }
  if (refusal) {
    ::close(fd);
    return {nullptr, 0, refusal};
  }
  // Emptied only now that it is known to be the plan itself.
  if (mode == PlanOpen::kCreate && ::ftruncate(fd, 0) != 0) return Failed(fd);
  if (::lseek(fd, 0, SEEK_END) < 0) return Failed(fd);
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) return Failed(fd);
  return {file, 0, {}};
}

}  // namespace tavelor
