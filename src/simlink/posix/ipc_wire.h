// What the Linux link transport and the stand-in simulator agree on. It mirrors the Windows
// primitives one for one: the simulator's "window" of class C is a Unix-domain stream socket
// named C in the IPC folder; the named block is POSIX shared memory; "sending the message" is
// one connection carrying the message number, the atom and the atom's text (the block's name),
// answered by the peer's 32-bit result.
//
// Request frame (little-endian): u32 message, u16 atom, u16 name length, name bytes.
// Answer frame: u32 result. One request per connection; the client closes after the answer.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace tavelor::posixipc {

inline constexpr size_t kMaxNameLength = 255;

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

// POSIX shared-memory names need one leading slash and no other.
inline std::string SharedMemoryName(const std::string& blockName) { return "/" + blockName; }

// Registered message numbers live in 0xC000..0xFFFF as on Windows; both sides derive the same
// number from the name, so a peer can tell our message from a stray connection.
inline uint32_t MessageNumber(const std::string& name) {
  uint32_t h = 2166136261u;
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  return 0xC000u + (h % 0x4000u);
}

}  // namespace tavelor::posixipc
