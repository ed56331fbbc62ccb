// The window's socket file: the name under which links find the stand-in. A file that a live
// simulator still accepts on is refused, one left behind by a simulator that died is replaced,
// and closing removes the file only while it is still the one this side made.
#pragma once

#include <sys/types.h>

#include <string>

namespace tavelor::sim {

class SocketFile {
 public:
  SocketFile() = default;
  ~SocketFile() { Close(); }
  SocketFile(const SocketFile&) = delete;
  SocketFile& operator=(const SocketFile&) = delete;

  // A non-blocking packet socket listening at `path`. False with a reason in *error.
  bool Open(const std::string& path, std::string* error);
  // Stops listening and removes the file, unless a successor's socket has taken its name.
  void Close();
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
  std::string path_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace tavelor::sim
