// The link's record format, as the client lays it out and the peer walks it: read and write
// records one after another from the block's start, little-endian, no padding, then a 32-bit
// zero. Shared by the link client, the stand-in simulator's peer and the tests' fake peer.
#pragma once

#include <cstdint>

namespace tavelor::ipc {

inline constexpr const char* kMessageName = "FsasmLib:IPC";  // the registered message
inline constexpr const char* kWindowClasses[] = {"UIPCMAIN", "FS98MAIN"};  // in search order

inline constexpr uint32_t kBlockSize = 0x8000;
inline constexpr uint32_t kFillLimit = 0x7F00;  // the last 256 bytes of the block are never used

// Read record: type, offset, size, destination (the client's reference, left unchanged by the
// peer), then `size` bytes that the peer fills.
inline constexpr uint32_t kReadRecord = 1;
inline constexpr uint32_t kReadHeader = 16;
// Write record: type, offset, size, then the `size` bytes to store.
inline constexpr uint32_t kWriteRecord = 2;
inline constexpr uint32_t kWriteHeader = 12;
// After the last record; the peer stops at a record whose first type byte is zero.
inline constexpr uint32_t kEndMarker = 4;

// The handshake: the client reads the interface's version and the simulator's, and writes its
// own library version, while opening.
inline constexpr uint32_t kFsuipcVersionOffset = 0x3304;     // 4 bytes
inline constexpr uint32_t kSimVersionOffset = 0x3308;        // 4 bytes: 0xFADE tag, simulator
inline constexpr uint32_t kLibraryVersionOffset = 0x330A;    // 2 bytes, written by the client
inline constexpr uint32_t kMinFsuipcVersion = 0x19980005;
inline constexpr uint32_t kSimVersionTag = 0xFADE;

inline void PutU32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t GetU32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

}  // namespace tavelor::ipc
