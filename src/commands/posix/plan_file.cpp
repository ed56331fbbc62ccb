// The plan file on Linux: opened without following a link in its place, and without waiting.
#include "commands/plan_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tavelor {

namespace {

PlanFileOpening Failed(int fd) {
  const int error = errno;
  ::close(fd);
  return {nullptr, error, {}};
}

}  // namespace

PlanFileOpening OpenPlanFile(const std::string& path, PlanOpen mode) {
  // O_NONBLOCK: opening a pipe for writing would otherwise wait for a reader.
  int flags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  if (mode == PlanOpen::kCreate) flags |= O_CREAT;
  const int fd = ::open(path.c_str(), flags, 0666);
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
