// The recording's file format (docs/recording.md): what both its writer and its reader know.
// The file is an eight-byte signature, the format's version, then frames, each one whole or
// not at all to a reader: its length, its payload, and the CRC-32 of its payload. A file cut
// short (a crash, a full disk) is therefore read up to its last whole frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "simlink/ipc_records.h"

namespace tavelor::recording {

inline constexpr char kSignature[8] = {'\x89', 'T', 'V', 'R', '\r', '\n', '\x1A', '\n'};
inline constexpr uint16_t kFormatVersion = 1;
inline constexpr size_t kPreambleSize = sizeof kSignature + 2;  // the signature and the version

// A frame's payload starts with its kind. A reader passes over a frame of a kind it does not
// know, so a later version may add kinds that older readers can ignore.
inline constexpr uint8_t kHeaderFrame = 'H';
inline constexpr uint8_t kExchangeFrame = 'X';

// What the header frame holds.
struct RecordingHeader {
  uint64_t startUnixMs = 0;  // when the recording started: milliseconds since 1970, UTC
  std::string program;       // what recorded it, "Tavelor Server v2.02A"
};

// No exchange comes near this (a block holds at most 32 KiB): a longer length is damage.
inline constexpr uint64_t kMaxFramePayload = 1 << 20;
// The most bytes an exchange's records hold, all together: what the link's block takes.
inline constexpr uint64_t kMaxRecordSize = ipc::kFillLimit;
// The most records an exchange holds: the block's room over the smallest record.
inline constexpr uint64_t kMaxRecords = kMaxRecordSize / ipc::kWriteHeader;
// The record types, as in the link's block.
inline constexpr uint8_t kReadType = ipc::kReadRecord;
inline constexpr uint8_t kWriteType = ipc::kWriteRecord;

// Unsigned LEB128: seven bits a byte, lowest first, the high bit set on every byte but the last.
void PutVarint(std::string& out, uint64_t value);
// Reads one at *at, moving it on; false when it runs past `end` or past 64 bits.
bool GetVarint(const uint8_t** at, const uint8_t* end, uint64_t* value);

void PutU32(std::string& out, uint32_t value);  // little-endian

// CRC-32 as zlib and PNG compute it (reflected, polynomial 0xEDB88320), from Boost.CRC.
uint32_t Crc32(const uint8_t* data, size_t size);

}  // namespace tavelor::recording
