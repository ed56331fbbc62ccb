#include "app/posix/in_process_transport.h"

#include <cerrno>
#include <string_view>

#include "sim/posix/sim_server.h"
#include "simlink/ipc_records.h"

namespace tavelor {

WindowRef InProcessTransport::FindWindowByClass(const char* windowClass) {
  sent_ = false;
  return sim_.Running() && std::string_view(windowClass) == sim_.WindowClass() ? kWindow : 0;
}

bool InProcessTransport::WindowExists(WindowRef window) {
  sent_ = false;
  return window == kWindow && sim_.Running();
}

uint16_t InProcessTransport::AddAtom(const std::string& name) {
  sent_ = false;
  const uint16_t atom = PosixTransport::AddAtom(name);
  if (atom != 0) atoms_[atom] = name;
  return atom;
}

void InProcessTransport::DeleteAtom(uint16_t atom) {
  sent_ = false;
  PosixTransport::DeleteAtom(atom);
  atoms_.erase(atom);
}

BlockCreate InProcessTransport::CreateBlock(const std::string& name, uint32_t size, BlockRef* block) {
  sent_ = false;
  const BlockCreate created = PosixTransport::CreateBlock(name, size, block);
  if (created == BlockCreate::kCreated) blocks_[*block] = Block{name, size, nullptr};
  return created;
}

uint8_t* InProcessTransport::MapBlock(BlockRef block) {
  sent_ = false;
  uint8_t* view = PosixTransport::MapBlock(block);
  if (auto it = blocks_.find(block); view && it != blocks_.end() && !it->second.view) it->second.view = view;
  return view;
}

void InProcessTransport::UnmapBlock(uint8_t* view) {
  sent_ = false;
  for (auto& [ref, block] : blocks_)
    if (block.view == view) block.view = nullptr;
  PosixTransport::UnmapBlock(view);
}

bool InProcessTransport::SendMessageTimeout(WindowRef window, uint32_t message, uint16_t atom,
                                            uint32_t timeoutMs, uint32_t* result) {
  sent_ = true;
  sentError_ = 0;
  if (window != kWindow) {
    sentError_ = EINVAL;
    return false;
  }
  // Not the link's message: the window ignores it and answers 0.
  if (message != PosixTransport::RegisterMessage(ipc::kMessageName)) {
    *result = 0;
    return true;
  }
  // The block the atom names, as the stand-in would map it; none, and it answers 0.
  uint8_t* view = nullptr;
  size_t size = 0;
  if (const auto name = atoms_.find(atom); name != atoms_.end()) {
    for (const auto& [ref, block] : blocks_) {
      if (block.name == name->second && block.view) {
        view = block.view;
        size = block.size;
      }
    }
  }
  switch (sim_.ExchangeInProcess(view, size, result)) {
    case sim::SimServer::Answer::kAnswered:
      return true;
    case sim::SimServer::Answer::kUnanswered:
      Sleep(timeoutMs);  // as long as the link would wait for a hung window; a time-out has no error
      sent_ = true;
      return false;
    case sim::SimServer::Answer::kGone:
      break;
  }
  sentError_ = ECONNRESET;  // what the socket says of a simulator that has gone
  return false;
}

}  // namespace tavelor
