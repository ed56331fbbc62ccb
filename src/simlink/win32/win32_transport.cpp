#include "simlink/win32/win32_transport.h"

#include <windows.h>

// <windows.h> maps these to their A/W variants; here they are the transport's own operations.
#undef AddAtom
#undef SendMessageTimeout

namespace tavelor {

namespace {
HWND AsWindow(WindowRef window) { return reinterpret_cast<HWND>(window); }
HANDLE AsHandle(BlockRef block) { return reinterpret_cast<HANDLE>(block); }
}  // namespace

WindowRef Win32Transport::FindWindowByClass(const char* windowClass) {
  return reinterpret_cast<WindowRef>(FindWindowExA(NULL, NULL, windowClass, NULL));
}

bool Win32Transport::WindowExists(WindowRef window) { return IsWindow(AsWindow(window)) != FALSE; }

uint32_t Win32Transport::RegisterMessage(const char* name) { return RegisterWindowMessageA(name); }

uint32_t Win32Transport::CurrentProcessId() { return GetCurrentProcessId(); }

uint16_t Win32Transport::AddAtom(const std::string& name) { return GlobalAddAtomA(name.c_str()); }

void Win32Transport::DeleteAtom(uint16_t atom) { GlobalDeleteAtom(atom); }

BlockCreate Win32Transport::CreateBlock(const std::string& name, uint32_t size, BlockRef* block) {
  HANDLE mapping =
      CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, size, name.c_str());
  *block = reinterpret_cast<BlockRef>(mapping);
  if (mapping == NULL) return BlockCreate::kFailed;
  // Someone else's object of that name: the handle is still ours and the caller closes it.
  if (GetLastError() == ERROR_ALREADY_EXISTS) return BlockCreate::kAlreadyExists;
  return BlockCreate::kCreated;
}

uint8_t* Win32Transport::MapBlock(BlockRef block) {
  return static_cast<uint8_t*>(MapViewOfFile(AsHandle(block), FILE_MAP_WRITE, 0, 0, 0));
}

void Win32Transport::UnmapBlock(uint8_t* view) { UnmapViewOfFile(view); }

void Win32Transport::CloseBlock(BlockRef block) { CloseHandle(AsHandle(block)); }

bool Win32Transport::SendMessageTimeout(WindowRef window, uint32_t message, uint16_t atom,
                                        uint32_t timeoutMs, uint32_t* result) {
  DWORD_PTR answer = 0;
  // SMTO_BLOCK: nothing else is handled on this thread while the simulator works the block.
  LRESULT sent = SendMessageTimeoutA(AsWindow(window), message, static_cast<WPARAM>(atom), 0,
                                     SMTO_BLOCK, timeoutMs, &answer);
  if (sent == 0) return false;
  *result = static_cast<uint32_t>(answer);
  return true;
}

uint32_t Win32Transport::LastError() { return GetLastError(); }

void Win32Transport::Sleep(uint32_t ms) { ::Sleep(ms); }

}  // namespace tavelor
