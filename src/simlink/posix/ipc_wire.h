// What the Linux link transport and the stand-in simulator agree on. It mirrors the Windows
// primitives one for one: the simulator's "window" of class C is a Unix-domain stream socket
// named C in the IPC folder; the named block is POSIX shared memory; "sending the message" is
// one connection carrying the message number, the atom and the atom's text (the block's name),
// answered by the peer's 32-bit result.
//
// Request frame (little-endian): u32 message, u16 atom, u16 name length, name bytes.
// Answer frame: u32 result. One request per connection; the client closes after the answer. A
// peer that is busy (or told to `hang`) keeps the connection open without answering.
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

inline constexpr size_t kFrameHeader = 8;  // u32 message, u16 atom, u16 name length

struct Frame {
  uint32_t message = 0;
  uint16_t atom = 0;
  std::string name;
};

inline std::string EncodeFrame(const Frame& frame) {
  std::string bytes(kFrameHeader, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(frame.message >> (8 * i));
  bytes[4] = static_cast<char>(frame.atom);
  bytes[5] = static_cast<char>(frame.atom >> 8);
  bytes[6] = static_cast<char>(frame.name.size());
  bytes[7] = static_cast<char>(frame.name.size() >> 8);
  return bytes + frame.name;
}

enum class FrameState { kIncomplete, kComplete, kTooLong };

// Reads a frame from the start of `bytes`: incomplete until all of it has arrived; a name
// longer than any atom can hold is refused as soon as its length is known.
inline FrameState ParseFrame(const std::string& bytes, Frame* frame) {
  if (bytes.size() < kFrameHeader) return FrameState::kIncomplete;
  const auto* u = reinterpret_cast<const unsigned char*>(bytes.data());
  frame->message = static_cast<uint32_t>(u[0]) | static_cast<uint32_t>(u[1]) << 8 |
                   static_cast<uint32_t>(u[2]) << 16 | static_cast<uint32_t>(u[3]) << 24;
  frame->atom = static_cast<uint16_t>(u[4] | u[5] << 8);
  const size_t nameLength = static_cast<size_t>(u[6] | u[7] << 8);
  if (nameLength > kMaxNameLength) return FrameState::kTooLong;
  if (bytes.size() < kFrameHeader + nameLength) return FrameState::kIncomplete;
  frame->name = bytes.substr(kFrameHeader, nameLength);
  return FrameState::kComplete;
}

}  // namespace tavelor::posixipc
