#include "support/fake_transport.h"

#include <cstring>

namespace tavelor::testing {

FakeTransport::FakeTransport() : peer(HandshakePeer(0x40200000, 0xFADE0008)) {}

WindowRef FakeTransport::FindWindowByClass(const char* windowClass) {
  auto it = windows.find(windowClass);
  if (it == windows.end() || !it->second) return 0;
  return std::string(windowClass) == "UIPCMAIN" ? 1 : 2;
}

bool FakeTransport::WindowExists(WindowRef) { return windowStillExists; }

uint32_t FakeTransport::RegisterMessage(const char*) { return registerFails ? 0 : 0xC123; }

uint16_t FakeTransport::AddAtom(const std::string& name) {
  if (atomFails) return 0;
  atomName = name;
  ++openAtoms;
  return 0xC001;
}

void FakeTransport::DeleteAtom(uint16_t) { --openAtoms; }

BlockCreate FakeTransport::CreateBlock(const std::string& name, uint32_t size, BlockRef* ref) {
  blockName = name;
  *ref = 0;
  if (createResult == BlockCreate::kFailed) return createResult;
  // An existing object still hands back a handle that must be closed.
  ++openBlocks;
  *ref = 7;
  block.assign(size, 0xCC);
  return createResult;
}

uint8_t* FakeTransport::MapBlock(BlockRef) {
  if (mapFails) return nullptr;
  ++mappedViews;
  return block.data();
}

void FakeTransport::UnmapBlock(uint8_t*) { --mappedViews; }
void FakeTransport::CloseBlock(BlockRef) { --openBlocks; }

bool FakeTransport::SendMessageTimeout(WindowRef, uint32_t, uint16_t, uint32_t, uint32_t* result) {
  ++sends;
  if (failSends < 0 || sends <= failSends) {
    lastError_ = sendError;
    return false;
  }
  lastError_ = 0;
  *result = peer(block.data());
  return true;
}

FakeTransport::Peer HandshakePeer(uint32_t fsuipcVersion, uint32_t simVersion) {
  return [=](uint8_t* block) -> uint32_t {
    size_t at = 0;
    while (block[at] != 0) {
      uint32_t type, offset, size;
      std::memcpy(&type, block + at, 4);
      std::memcpy(&offset, block + at + 4, 4);
      std::memcpy(&size, block + at + 8, 4);
      if (type == 1) {
        if (offset == 0x3304 && size == 4) std::memcpy(block + at + 16, &fsuipcVersion, 4);
        if (offset == 0x3308 && size == 4) std::memcpy(block + at + 16, &simVersion, 4);
        at += 16 + size;
      } else if (type == 2) {
        at += 12 + size;
      } else {
        return 0;
      }
    }
    return 1;
  };
}

}  // namespace tavelor::testing
