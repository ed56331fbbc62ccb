// The link's transport on Linux: the simulator's window is a connection kept open to its
// packet socket, the block an anonymous memory file handed to the peer once, the atom table
// this process's own (see ipc_wire.h).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "simlink/ipc_transport.h"

namespace tavelor {

class PosixTransport : public IpcTransport {
 public:
  PosixTransport() = default;
  ~PosixTransport() override;
  PosixTransport(const PosixTransport&) = delete;
  PosixTransport& operator=(const PosixTransport&) = delete;

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

  // Atom numbers, as on Windows: 0xC000 to 0xFFFF.
  static constexpr uint32_t kFirstAtom = 0xC000;
  static constexpr uint32_t kLastAtom = 0xFFFF;

 private:
  struct Window {
    std::string path;
    int fd;
    std::set<BlockRef> handed;  // blocks whose descriptor this peer has
    uint32_t timeoutMs;         // the receive and send time-out the socket has now
  };
  struct Atom {
    std::string name;
    uint32_t references;
  };
  struct Block {
    int fd;
    std::string name;
    uint32_t size;
  };

  bool SetSocketTimeouts(Window& window, uint32_t ms);
  void ForgetWindow(std::map<WindowRef, Window>::iterator it);

  std::map<WindowRef, Window> windows_;
  WindowRef nextWindow_ = 1;
  std::map<uint16_t, Atom> atoms_;
  std::map<BlockRef, Block> blocks_;
  BlockRef nextBlock_ = 1;
  std::map<uint8_t*, uint32_t> views_;  // mapped view -> its length
  uint32_t sequence_ = 0;
  uint32_t lastError_ = 0;
  uint32_t waitLimitMs_ = UINT32_MAX;
};

}  // namespace tavelor
