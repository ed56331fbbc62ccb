// What the Linux link transport and the stand-in simulator agree on. It mirrors the Windows
// primitives: the simulator's "window" of class C is a Unix-domain packet socket
// (SOCK_SEQPACKET) named C in the private IPC folder (ipc_folder.h). The link keeps one
// connection to each window it found for as long as both live: finding the window connects,
// and the window is gone when the connection is. "Sending the message" is one packet on that
// connection, answered by one packet.
//
// The shared block is an anonymous memory file (memfd) with no name anywhere: its descriptor
// goes to the peer once, attached (SCM_RIGHTS) to the first message that uses the block on a
// connection, and both sides keep it mapped until the link closes the block, which it then
// tells the peer. The file is sealed against shrinking, so the peer can map it safely.
//
// Message packet, 16 bytes, little-endian: u32 message, u16 atom, u16 kind, u32 block,
// u32 sequence. `block` is the link's number for the block (0: none); `sequence` numbers the
// messages of one link, so an answer that arrives after its attempt timed out is never taken
// for the answer of a later one. Answer packet, 8 bytes: u32 sequence, u32 result.
// A peer that is busy (or told to `hang`) does not answer; a late answer is dropped, and so is
// an answer already waiting when a message goes out, and an empty packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavelor::posixipc {

inline constexpr size_t kMaxNameLength = 255;  // an atom's text

enum class Kind : uint16_t {
  kExchange = 1,           // walk the block already handed over
  kExchangeWithBlock = 2,  // the block's descriptor is attached; keep it, then walk it
  kReleaseBlock = 3,       // the link closed the block: unmap it; no answer
};

inline constexpr size_t kMessageSize = 16;
inline constexpr size_t kAnswerSize = 8;

struct Message {
  uint32_t message = 0;
  uint16_t atom = 0;
  Kind kind = Kind::kExchange;
  uint32_t block = 0;
  uint32_t sequence = 0;
};

struct Answer {
  uint32_t sequence = 0;
  uint32_t result = 0;
};

inline void PutLe(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint32_t GetLe(const uint8_t* at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(at[i]) << (8 * i);
  return value;
}

inline void EncodeMessage(const Message& m, uint8_t (&out)[kMessageSize]) {
  PutLe(out, m.message, 4);
  PutLe(out + 4, m.atom, 2);
  PutLe(out + 6, static_cast<uint16_t>(m.kind), 2);
  PutLe(out + 8, m.block, 4);
  PutLe(out + 12, m.sequence, 4);
}

// False for a packet of another size or of an unknown kind.
inline bool DecodeMessage(const uint8_t* bytes, size_t size, Message* m) {
  if (size != kMessageSize) return false;
  const uint32_t kind = GetLe(bytes + 6, 2);
  if (kind < 1 || kind > 3) return false;
  m->message = GetLe(bytes, 4);
  m->atom = static_cast<uint16_t>(GetLe(bytes + 4, 2));
  m->kind = static_cast<Kind>(kind);
  m->block = GetLe(bytes + 8, 4);
  m->sequence = GetLe(bytes + 12, 4);
  return true;
}

inline void EncodeAnswer(const Answer& a, uint8_t (&out)[kAnswerSize]) {
  PutLe(out, a.sequence, 4);
  PutLe(out + 4, a.result, 4);
}

inline bool DecodeAnswer(const uint8_t* bytes, size_t size, Answer* a) {
  if (size != kAnswerSize) return false;
  a->sequence = GetLe(bytes, 4);
  a->result = GetLe(bytes + 4, 4);
  return true;
}

// Registered message numbers live in 0xC000..0xFFFF as on Windows; both sides derive the same
// number from the name, so a peer can tell our message from a stray one.
inline uint32_t MessageNumber(const std::string& name) {
  uint32_t h = 2166136261u;
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  return 0xC000u + (h % 0x4000u);
}

}  // namespace tavelor::posixipc
