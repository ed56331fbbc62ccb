#include "sim/posix/socket_file.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "simlink/posix/ipc_folder.h"

namespace tavelor::sim {

namespace {

// Someone still accepts on the socket file: a live simulator, not a leftover.
bool SocketIsLive(const sockaddr_un& addr) {
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool live = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return live;
}

}  // namespace

bool SocketFile::Open(const std::string& path, std::string* error) {
  sockaddr_un addr;
  if (!posixipc::FillUnixAddress(path, &addr)) {
    *error = "socket path too long: " + path;
    return false;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      *error = path + " exists and is not a socket";
      return false;
    }
    if (SocketIsLive(addr)) {
      // One IPC folder holds one simulator of a window class: a second one needs a folder of its
      // own, and its server with it.
      const std::string folder = path.substr(0, path.rfind('/'));
      *error = "another simulator already serves " + path +
               " (to run a second one beside it, give it and its server an IPC folder of their own: "
               "TAVELOR_IPC_DIR=" + folder + "-2, and other ports)";
      return false;
    }
    ::unlink(path.c_str());
  }
  fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    *error = "cannot create the window socket: " + std::string(std::strerror(errno));
    return false;
  }
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd_, 16) != 0) {
    *error = "cannot listen on " + path + ": " + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  // Remember which file is ours, so closing never removes a successor's socket.
  if (::stat(path.c_str(), &st) == 0) {
    device_ = st.st_dev;
    inode_ = st.st_ino;
  }
  path_ = path;
  return true;
}

void SocketFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (path_.empty()) return;
  struct stat st {};
  if (::lstat(path_.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_) {
    ::unlink(path_.c_str());
  }
  path_.clear();
}

}  // namespace tavelor::sim
