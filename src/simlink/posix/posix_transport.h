// The link's transport on Linux: the simulator's window is a Unix-domain socket, the block is
// POSIX shared memory, the atom table is this process's own (see ipc_wire.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "simlink/ipc_transport.h"

namespace tavelor {

class PosixTransport : public IpcTransport {
 public:
  ~PosixTransport() override;

  WindowRef FindWindowByClass(const char* windowClass) override;
  bool WindowExists(WindowRef window) override;
  uint32_t RegisterMessage(const char* name) override;
  uint32_t CurrentProcessId() override;
  uint16_t AddAtom(const std::string& name) override;
  void DeleteAtom(uint16_t atom) override;
  BlockCreate CreateBlock(const std::string& name, uint32_t size, BlockRef* block) override;
  uint8_t* MapBlock(BlockRef block) override;
  void UnmapBlock(uint8_t* view) override;
  void CloseBlock(BlockRef block) override;
  bool SendMessageTimeout(WindowRef window, uint32_t message, uint16_t atom, uint32_t timeoutMs,
                          uint32_t* result) override;
  uint32_t LastError() override { return lastError_; }
  void Sleep(uint32_t ms) override;

  // Tests cut every wait (send time-outs and sleeps) to at most this many milliseconds, so the
  // link's ten attempts against a hung simulator take a moment instead of 21 seconds.
  void LimitWaits(uint32_t maxMs) { waitLimitMs_ = maxMs; }

 private:
  struct Block {
    int fd;
    std::string name;
    uint32_t size;
  };
  std::vector<std::string> windows_;         // WindowRef n is the socket path windows_[n - 1]
  std::map<uint16_t, std::string> atoms_;
  uint16_t nextAtom_ = 0xC000;
  std::map<BlockRef, Block> blocks_;
  BlockRef nextBlock_ = 1;
  std::map<uint8_t*, uint32_t> views_;       // mapped view -> its length
  uint32_t lastError_ = 0;
  uint32_t waitLimitMs_ = UINT32_MAX;
};

}  // namespace tavelor
