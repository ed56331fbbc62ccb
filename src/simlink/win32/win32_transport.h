// The link's transport on Windows: each operation is the one Win32 call the link protocol
// names, with the arguments it names. No Windows types here, so including this header does not
// drag <windows.h> into the caller.
#pragma once

#include "simlink/ipc_transport.h"

namespace tavelor {

class Win32Transport : public IpcTransport {
 public:
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
  uint32_t LastError() override;
  void Sleep(uint32_t ms) override;
};

}  // namespace tavelor
