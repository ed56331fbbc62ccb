#include "support/fake_transport.h"

#include <cstring>

#include "simlink/ipc_records.h"

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
      const uint32_t type = ipc::GetU32(block + at);
      const uint32_t offset = ipc::GetU32(block + at + 4);
      const uint32_t size = ipc::GetU32(block + at + 8);
      if (type == ipc::kReadRecord) {
        uint8_t* data = block + at + ipc::kReadHeader;
        if (offset == ipc::kFsuipcVersionOffset && size == 4) ipc::PutU32(data, fsuipcVersion);
        if (offset == ipc::kSimVersionOffset && size == 4) ipc::PutU32(data, simVersion);
        at += ipc::kReadHeader + size;
      } else if (type == ipc::kWriteRecord) {
        at += ipc::kWriteHeader + size;
      } else {
        return 0;
      }
    }
    return 1;
  };
}

}  // namespace tavelor::testing
