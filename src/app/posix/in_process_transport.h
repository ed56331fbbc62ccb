// The link's transport to the stand-in simulator inside this process (`tavelor-server --sim`).
// What the operating system does for the link (atoms, the block, sleeping) stays the socket
// transport's; the message alone goes straight to the stand-in's service (SimServer's
// ExchangeInProcess) instead of through its socket, which spares each exchange the two thread
// wake-ups of a round trip through the kernel. What the link sees is the same: the answer, an
// unanswered exchange's time-out under `hang`, and after `quit` a simulator that is gone.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "simlink/posix/posix_transport.h"

namespace tavelor {

namespace sim {
class SimServer;
}

class InProcessTransport : public PosixTransport {
 public:
  explicit InProcessTransport(sim::SimServer& sim) : sim_(sim) {}

  WindowRef FindWindowByClass(const char* windowClass) override;
  bool WindowExists(WindowRef window) override;
  uint16_t AddAtom(const std::string& name) override;
  void DeleteAtom(uint16_t atom) override;
  BlockCreate CreateBlock(const std::string& name, uint32_t size, BlockRef* block) override;
  uint8_t* MapBlock(BlockRef block) override;
  void UnmapBlock(uint8_t* view) override;
  bool SendMessageTimeout(WindowRef window, uint32_t message, uint16_t atom, uint32_t timeoutMs,
                          uint32_t* result) override;
  uint32_t LastError() override { return sent_ ? sentError_ : PosixTransport::LastError(); }

 private:
  static constexpr WindowRef kWindow = 1;  // the one window: the stand-in's

  struct Block {
    std::string name;
    uint32_t size = 0;
    uint8_t* view = nullptr;
  };

  sim::SimServer& sim_;
  std::map<uint16_t, std::string> atoms_;  // atom -> the block name it holds
  std::map<BlockRef, Block> blocks_;
  bool sent_ = false;       // the last call was a message: its error is this transport's
  uint32_t sentError_ = 0;
};

}  // namespace tavelor
