// A hostile simulator for the Wine tests: a window of the simulator's class that passes the
// link's handshake and then answers every exchange with harm. It fills reads with random bytes,
// rewrites record headers (types, sizes, references), writes past the used part of the block,
// gives answers other than success now and then, and a second thread keeps scribbling over the
// block while the server walks it. It ends itself after the exchanges it was told to serve, or
// after four minutes, whichever comes first.
//
//   hostile_sim.exe EXCHANGES
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "simlink/ipc_records.h"

namespace {

using namespace tavelor::ipc;

std::atomic<uint8_t*> gScribbled{nullptr};  // the block the scribbler writes over
std::atomic<bool> gDone{false};
std::mt19937 gRandom(20261208);
long gLeft = 0;
bool gHandshook = false;  // the last exchange was the handshake's

uint32_t Random() { return static_cast<uint32_t>(gRandom()); }

// The handshake's two reads answered as a good simulator would, so the link opens.
bool Handshake(uint32_t offset, uint8_t* data, uint32_t size) {
  if (size != 4) return false;
  if (offset == kFsuipcVersionOffset) PutU32(data, 0x40000000);
  else if (offset == kSimVersionOffset) PutU32(data, kSimVersionTag << 16 | 8);
  else return false;
  return true;
}

uint32_t Exchange(uint8_t* block) {
  bool handshake = false;
  for (uint32_t at = 0, records = 0; at + kEndMarker <= kFillLimit && block[at] != 0 && records < 4096; ++records) {
    const uint32_t type = GetU32(block + at);
    const uint32_t offset = GetU32(block + at + 4);
    const uint32_t size = GetU32(block + at + 8);
    const uint32_t header = type == kReadRecord ? kReadHeader : kWriteHeader;
    if ((type != kReadRecord && type != kWriteRecord) || size > kFillLimit - at - header) break;
    uint8_t* data = block + at + header;
    if (type == kReadRecord && Handshake(offset, data, size)) {
      handshake = true;
    } else if (type == kReadRecord) {
      for (uint32_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(Random());
    }
    at += header + size;
    if (handshake) continue;
    // Headers the server wrote, rewritten after the fact.
    switch (Random() % 6) {
      case 0: PutU32(data - header + 8, Random()); break;                      // any size
      case 1: PutU32(data - header + 8, size + 1 + Random() % 64); break;      // a little longer
      case 2: PutU32(data - header, Random() % 4); break;                      // another type
      case 3: if (type == kReadRecord) PutU32(data - 4, Random() % 8); break;  // another reference
      default: break;
    }
  }
  if (handshake) return gHandshook = true, 1;
  for (int i = 0; i < 16; ++i) block[kFillLimit + Random() % (kBlockSize - kFillLimit)] = static_cast<uint8_t>(Random());
  const uint32_t answers[] = {1, 1, 1, 1, 1, 1, 0, 2, 0xFFFFFFFF};
  return answers[Random() % (sizeof answers / sizeof answers[0])];
}

UINT gIpcMessage = 0;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != gIpcMessage || gIpcMessage == 0) return DefWindowProcA(window, message, wParam, lParam);
  char name[256] = {};
  if (wParam > 0xFFFF || GlobalGetAtomNameA(static_cast<ATOM>(wParam), name, sizeof name) == 0) return 0;
  // One view per block name, kept to the end: the scribbler may be writing to it at any time.
  static std::string lastName;
  static uint8_t* view = nullptr;
  if (name != lastName) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping) return 0;
    view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    CloseHandle(mapping);  // the view keeps the block
    if (!view) return 0;
    lastName = name;
  }
  gHandshook = false;
  const uint32_t answer = Exchange(view);
  // Not over the handshake's answer: a link that fails to open is opened again under the same
  // name, which this view would then hold.
  if (!gHandshook) gScribbled = view;
  if (--gLeft <= 0) PostQuitMessage(0);
  return answer;
}

void Scribble() {
  std::mt19937 random(7);
  while (!gDone) {
    if (uint8_t* block = gScribbled.load()) {
      for (int i = 0; i < 64; ++i) block[random() % kFillLimit] = static_cast<uint8_t>(random());
    }
    Sleep(0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  gLeft = argc > 1 ? std::atol(argv[1]) : 1000;
  gIpcMessage = RegisterWindowMessageA(kMessageName);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = Proc;
  windowClass.hInstance = GetModuleHandleA(NULL);
  windowClass.lpszClassName = kWindowClasses[0];
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowA(kWindowClasses[0], "hostile", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL,
                              windowClass.hInstance, NULL);
  if (!window) return 1;
  std::printf("hostile_sim: window, %ld exchanges\n", gLeft);
  std::fflush(stdout);
  std::thread scribbler(Scribble);
  SetTimer(window, 1, 240000, NULL);  // four minutes at most
  MSG message;
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    if (message.message == WM_TIMER) break;
    DispatchMessageA(&message);
  }
  gDone = true;
  scribbler.join();
  DestroyWindow(window);
  std::printf("hostile_sim: done\n");
  return 0;
}
