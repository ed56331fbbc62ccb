// The private folder where the simulator's window sockets live. Whoever can create a socket
// there can pose as the simulator and be handed the link's block, so the folder must be this
// user's own and writable by nobody else: it is created with mode 0700, and a folder that
// exists with other rights (made first by another local user under /tmp, say) is refused with
// a reason rather than used.
#pragma once

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tavelor::posixipc {

// $TAVELOR_IPC_DIR, else $XDG_RUNTIME_DIR/tavelor-ipc, else /tmp/tavelor-ipc-<uid>.
inline std::string IpcDir() {
  if (const char* dir = std::getenv("TAVELOR_IPC_DIR"); dir && *dir) return dir;
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
    return std::string(run) + "/tavelor-ipc";
  return "/tmp/tavelor-ipc-" + std::to_string(static_cast<unsigned>(getuid()));
}

inline std::string WindowSocketPath(const std::string& windowClass) {
  return IpcDir() + "/" + windowClass;
}

// A socket address for the socket file at `path`; false when the path is too long for one.
inline bool FillUnixAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// The window classes' names ("UIPCMAIN", "FS98MAIN") are this long.
inline constexpr size_t kWindowClassLength = 8;

// Empty when `dir` is a folder (not a link to one) of this user that no one else may write,
// with a name short enough for its sockets; else why it is not. A folder that does not exist is
// created first when `create` is set (the folders above it too, new ones with mode 0700).
inline std::string CheckIpcFolder(const std::string& dir, bool create) {
  if (dir.empty()) return "the IPC folder has an empty name";
  // A window socket's path, its zero byte included, must fit in a socket address; past that no
  // simulator could ever be found there.
  const size_t socketPath = dir.size() + 1 + kWindowClassLength;
  if (socketPath >= sizeof(sockaddr_un::sun_path))
    return "the IPC folder " + dir + " is too long for a socket address: its sockets' paths " +
           "take " + std::to_string(socketPath) + " bytes, at most " +
           std::to_string(sizeof(sockaddr_un::sun_path) - 1) +
           " fit; set TAVELOR_IPC_DIR to a shorter one";
  if (create) {
    for (size_t pos = 1; pos <= dir.size(); ++pos) {
      if (pos != dir.size() && dir[pos] != '/') continue;
      if (::mkdir(dir.substr(0, pos).c_str(), 0700) != 0 && errno != EEXIST)
        return "cannot create the IPC folder " + dir.substr(0, pos) + ": " + std::strerror(errno);
    }
  }
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0)
    return "cannot use the IPC folder " + dir + ": " + std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return "the IPC folder " + dir + " is not a folder";
  if (st.st_uid != ::geteuid())
    return "the IPC folder " + dir + " belongs to another user (uid " +
           std::to_string(st.st_uid) + "); remove it or set TAVELOR_IPC_DIR";
  if (st.st_mode & (S_IWGRP | S_IWOTH))
    return "the IPC folder " + dir + " is writable by other users; make it mode 0700";
  return {};
}

}  // namespace tavelor::posixipc
