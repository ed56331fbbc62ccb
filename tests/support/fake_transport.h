// A transport with no simulator behind it: counts every call, fails the n-th one on demand,
// and answers exchanges through a function the test supplies. Sleeps are counted, not slept.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "simlink/ipc_transport.h"

namespace tavelor::testing {

class FakeTransport : public IpcTransport {
 public:
  // What the peer does with the block on one exchange; returns its answer.
  using Peer = std::function<uint32_t(uint8_t* block)>;

  FakeTransport();

  // Which classes have a window.
  std::map<std::string, bool> windows{{"UIPCMAIN", true}, {"FS98MAIN", false}};
  bool windowStillExists = true;
  bool registerFails = false;
  bool atomFails = false;
  BlockCreate createResult = BlockCreate::kCreated;
  bool mapFails = false;
  uint32_t processId = 0x1A2C;
  // Send attempts that fail before one goes through (-1: all fail), and the error then given.
  int failSends = 0;
  uint32_t sendError = 0;
  Peer peer;

  // Counters.
  int sends = 0;
  std::vector<uint32_t> sleeps;
  std::string atomName;
  std::string blockName;
  int openBlocks = 0;
  int openAtoms = 0;
  int mappedViews = 0;

  std::vector<uint8_t> block;  // the "shared memory"

  WindowRef FindWindowByClass(const char* windowClass) override;
  bool WindowExists(WindowRef window) override;
  uint32_t RegisterMessage(const char* name) override;
  uint32_t CurrentProcessId() override { return processId; }
  uint16_t AddAtom(const std::string& name) override;
  void DeleteAtom(uint16_t atom) override;
  BlockCreate CreateBlock(const std::string& name, uint32_t size, BlockRef* ref) override;
  uint8_t* MapBlock(BlockRef ref) override;
  void UnmapBlock(uint8_t* view) override;
  void CloseBlock(BlockRef ref) override;
  bool SendMessageTimeout(WindowRef window, uint32_t message, uint16_t atom, uint32_t timeoutMs,
                          uint32_t* result) override;
  uint32_t LastError() override { return lastError_; }
  void Sleep(uint32_t ms) override { sleeps.push_back(ms); }

 private:
  uint32_t lastError_ = 0;
};

// A peer that answers the handshake with the given versions and 1, and leaves other reads zero.
FakeTransport::Peer HandshakePeer(uint32_t fsuipcVersion, uint32_t simVersion);

}  // namespace tavelor::testing
