// Whoever watches the link (the program's recorder) hears of every exchange the simulator
// answered: each record of the block as the walk read it back, reads with the bytes the
// simulator filled in and writes with the bytes it was given. The link stays the same whether
// anyone watches or not, and costs nothing more when nobody does.
#pragma once

#include <cstdint>
#include <span>

namespace tavelor {

struct LinkRecord {
  bool write;            // else a read
  uint32_t offset;
  uint32_t size;
  const uint8_t* bytes;  // inside the block: valid only during the call
};

class ExchangeObserver {
 public:
  virtual ~ExchangeObserver() = default;
  // One answered exchange, its records in block order. Not called for the handshake of Open.
  virtual void Exchanged(std::span<const LinkRecord> records) = 0;
};

}  // namespace tavelor
