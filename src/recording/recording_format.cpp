#include "recording/recording_format.h"

#include <boost/crc.hpp>

namespace tavelor::recording {

void PutVarint(std::string& out, uint64_t value) {
  while (value >= 0x80) {
    out += static_cast<char>(0x80 | (value & 0x7F));
    value >>= 7;
  }
  out += static_cast<char>(value);
}

bool GetVarint(const uint8_t** at, const uint8_t* end, uint64_t* value) {
  uint64_t result = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (*at >= end) return false;
    const uint8_t byte = *(*at)++;
    if (shift == 63 && byte > 1) return false;
    result |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) {
      *value = result;
      return true;
    }
  }
  return false;
}

void PutU32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * i));
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  boost::crc_32_type crc;
  crc.process_bytes(data, size);
  return crc.checksum();
}

}  // namespace tavelor::recording
