// The platform operations the link client needs, one for one with the Windows calls it makes
// (find the simulator's window by class, register the message, the atom, the named block, send
// with a time-out, the last system error, sleep, the process number). The client logic never
// calls the operating system itself, so tests drive every retry and failure path through a fake.
#pragma once

#include <cstdint>
#include <string>

namespace tavelor {

using WindowRef = uintptr_t;  // 0 = none
using BlockRef = uintptr_t;   // 0 = none

enum class BlockCreate { kCreated, kFailed, kAlreadyExists };

class IpcTransport {
 public:
  virtual ~IpcTransport() = default;

  // A top-level window of the class, no parent, no title; 0 when there is none.
  virtual WindowRef FindWindowByClass(const char* windowClass) = 0;
  // Whether a window found earlier still exists (the simulator may have gone away).
  virtual bool WindowExists(WindowRef window) = 0;
  // The registered message number, 0 on failure.
  virtual uint32_t RegisterMessage(const char* name) = 0;
  virtual uint32_t CurrentProcessId() = 0;
  // A global atom holding `name`, 0 on failure.
  virtual uint16_t AddAtom(const std::string& name) = 0;
  virtual void DeleteAtom(uint16_t atom) = 0;
  // A named, page-file-backed read-write block of `size` bytes.
  virtual BlockCreate CreateBlock(const std::string& name, uint32_t size, BlockRef* block) = 0;
  // Maps the whole block for writing; nullptr on failure.
  virtual uint8_t* MapBlock(BlockRef block) = 0;
  virtual void UnmapBlock(uint8_t* view) = 0;
  virtual void CloseBlock(BlockRef block) = 0;
  // Sends `message` with the atom to the window, blocking, at most timeoutMs; true when the
  // peer answered, its answer in *result.
  virtual bool SendMessageTimeout(WindowRef window, uint32_t message, uint16_t atom,
                                  uint32_t timeoutMs, uint32_t* result) = 0;
  // The system's error number after a failed call, 0 when it reported none.
  virtual uint32_t LastError() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

}  // namespace tavelor
