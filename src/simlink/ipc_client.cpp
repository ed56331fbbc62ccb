// The link client. The record layout, the fill limit, the handshake and the retry policy are
// the peer's protocol and are kept as they are; the one addition is noticing that the
// simulator went away, so the shell can say so and connect again.
#include "simlink/ipc_client.h"

#include <cstdio>
#include <cstring>

namespace tavelor {

const char* const IpcMessageText[16] = {
    "Ok",
    "Attempt to Open when already Open",
    "No se puede conectar con Fsuipc",
    "Failed to Register common message with Windows",
    "Failed to create Atom for mapping filename",
    "Failed to create a file mapping object",
    "Failed to open a view to the file map",
    "Incorrect version of FSUIPC, or not FSUIPC",
    "Sim is not version requested",
    "Call cannot execute, link not Open",
    "Call cannot execute: no requests accumulated",
    "IPC timed out all retries",
    "IPC sendmessage failed all retries",
    "IPC request contains bad data",
    "Maybe running on WideClient, but FS not running on Server, or wrong FSUIPC",
    "Read or Write request cannot be added, memory for Process is full",
};

namespace {

using namespace ipc;

constexpr int kHandshakePasses = 5;

bool Report(uint32_t* code, uint32_t value, bool result) {
  if (code) *code = value;
  return result;
}

}  // namespace

bool IpcClient::Open(uint32_t requestedSim, uint32_t* code) {
  if (!transport_) return Report(code, kIpcNoSimulator, false);
  if (IsOpen()) return Report(code, kIpcAlreadyOpen, false);
  peerUnanswered_ = false;
  fsuipcVersion_ = 0;
  simVersion_ = 0;

  bool secondClass = false;
  window_ = transport_->FindWindowByClass(kWindowClasses[0]);
  if (!window_) {
    window_ = transport_->FindWindowByClass(kWindowClasses[1]);
    secondClass = true;
  }
  if (!window_) return Report(code, kIpcNoSimulator, false);

  message_ = transport_->RegisterMessage(kMessageName);
  if (!message_) return Report(code, kIpcRegisterFailed, false);

  char name[64];
  std::snprintf(name, sizeof name, "%s:%X:%X", kMessageName,
                static_cast<unsigned>(transport_->CurrentProcessId()), 1u);

  atom_ = transport_->AddAtom(name);
  if (!atom_) {
    Close();
    return Report(code, kIpcAtomFailed, false);
  }
  BlockRef mapping = 0;
  BlockCreate created = transport_->CreateBlock(name, kBlockSize, &mapping);
  mapping_ = mapping;
  if (created != BlockCreate::kCreated) {
    Close();
    return Report(code, kIpcMappingFailed, false);
  }
  block_ = transport_->MapBlock(mapping_);
  if (!block_) {
    Close();
    return Report(code, kIpcViewFailed, false);
  }
  next_ = 0;
  destinations_.clear();

  for (int pass = 1; pass <= kHandshakePasses && (fsuipcVersion_ == 0 || simVersion_ == 0);
       ++pass) {
    uint32_t step = kIpcOk;
    const uint16_t library = static_cast<uint16_t>(kIpcLibraryVersion);
    bool ok = Read(kFsuipcVersionOffset, 4, &fsuipcVersion_, &step) &&
              Read(kSimVersionOffset, 4, &simVersion_, &step) &&
              (pass > 1 || Write(kLibraryVersionOffset, 2, &library, &step)) &&
              Exchange(&step, true);
    if (!ok) {
      Close();
      return Report(code, step, false);
    }
    transport_->Sleep(kIpcRetrySleepMs);
  }

  if (fsuipcVersion_ >= kMinFsuipcVersion && (simVersion_ >> 16) == kSimVersionTag) {
    simVersion_ &= 0xFFFF;
    if (requestedSim != 0 && requestedSim != simVersion_) {
      Close();
      return Report(code, kIpcSimNotRequested, false);
    }
    linkLost_ = false;
    return Report(code, kIpcOk, true);
  }
  Close();
  return Report(code, secondClass ? kIpcWrongServer : kIpcWrongVersion, false);
}

void IpcClient::Close() {
  if (!transport_) return;
  window_ = 0;
  message_ = 0;
  next_ = 0;
  destinations_.clear();
  if (atom_) {
    transport_->DeleteAtom(atom_);
    atom_ = 0;
  }
  if (block_) {
    transport_->UnmapBlock(block_);
    block_ = nullptr;
  }
  if (mapping_) {
    transport_->CloseBlock(mapping_);
    mapping_ = 0;
  }
}

bool IpcClient::Fits(uint32_t headerSize, uint32_t size) const {
  // 64-bit sums: a size near 4 GiB must not wrap round into an accepted record.
  return static_cast<uint64_t>(next_) + kEndMarker + headerSize + size <= kFillLimit;
}

bool IpcClient::Read(uint32_t offset, uint32_t size, void* destination, uint32_t* code) {
  if (!IsOpen()) return Report(code, kIpcNotOpen, false);
  if (!Fits(kReadHeader, size)) return Report(code, kIpcBlockFull, false);
  uint32_t reference = 0;
  if (destination) {
    destinations_.push_back({destination, size});
    reference = static_cast<uint32_t>(destinations_.size());
  }
  uint8_t* at = block_ + next_;
  PutU32(at, kReadRecord);
  PutU32(at + 4, offset);
  PutU32(at + 8, size);
  PutU32(at + 12, reference);
  std::memset(at + kReadHeader, 0, size);
  next_ += kReadHeader + size;
  return Report(code, kIpcOk, true);
}

bool IpcClient::Write(uint32_t offset, uint32_t size, const void* source, uint32_t* code) {
  if (!IsOpen()) return Report(code, kIpcNotOpen, false);
  if (!Fits(kWriteHeader, size)) return Report(code, kIpcBlockFull, false);
  uint8_t* at = block_ + next_;
  PutU32(at, kWriteRecord);
  PutU32(at + 4, offset);
  PutU32(at + 8, size);
  if (size) std::memcpy(at + kWriteHeader, source, size);
  next_ += kWriteHeader + size;
  return Report(code, kIpcOk, true);
}

bool IpcClient::Process(uint32_t* code) { return Exchange(code, false); }

bool IpcClient::Exchange(uint32_t* code, bool duringOpen) {
  if (!IsOpen()) return Report(code, kIpcNotOpen, false);
  if (next_ == 0) return Report(code, kIpcNothingQueued, false);

  PutU32(block_ + next_, 0);
  next_ = 0;
  // The queue's destinations move aside for the walk; the vector they leave keeps its capacity
  // for the next queue, so an exchange allocates nothing.
  std::vector<Destination>& destinations = exchanging_;
  destinations.clear();
  destinations.swap(destinations_);

  uint32_t answer = 0;
  uint32_t systemError = 0;
  bool sent = false;
  bool windowGone = false;
  for (int attempt = 0; attempt < kIpcAttempts && !sent; ++attempt) {
    sent = transport_->SendMessageTimeout(window_, message_, atom_, kIpcSendTimeoutMs, &answer);
    if (sent) break;
    systemError = transport_->LastError();
    // A simulator that has closed will not come back within this exchange: stop at once
    // rather than hold every client for another second of retries.
    windowGone = !transport_->WindowExists(window_);
    if (windowGone) break;
    transport_->Sleep(kIpcRetrySleepMs);
  }
  peerUnanswered_ = !sent && !windowGone;
  if (!sent) {
    if (!duringOpen) {
      Close();
      linkLost_ = true;
    }
    return Report(code, systemError ? kIpcSendFailed : kIpcTimedOut, false);
  }
  if (answer != 1) return Report(code, kIpcBadData, false);

  const bool observed = observer_ != nullptr && !duringOpen;
  observed_.clear();
  // The walk trusts nothing the peer may have changed: it stays inside the used part of the
  // block, stops at a type other than read or write, and copies only into a destination whose
  // size matches what was queued for it.
  size_t at = 0;
  while (at + kEndMarker <= kFillLimit && block_[at] != 0) {
    const uint32_t type = GetU32(block_ + at);
    if (type == kReadRecord) {
      if (at + kReadHeader > kFillLimit) break;
      const uint32_t size = GetU32(block_ + at + 8);
      const uint32_t reference = GetU32(block_ + at + 12);
      if (size > kFillLimit - at - kReadHeader) break;
      if (reference != 0 && size > 0 && reference <= destinations.size() &&
          destinations[reference - 1].size == size) {
        std::memcpy(destinations[reference - 1].variable, block_ + at + kReadHeader, size);
      }
      if (observed) observed_.push_back({false, GetU32(block_ + at + 4), size, block_ + at + kReadHeader});
      at += kReadHeader + size;
    } else if (type == kWriteRecord) {
      if (at + kWriteHeader > kFillLimit) break;
      const uint32_t size = GetU32(block_ + at + 8);
      if (size > kFillLimit - at - kWriteHeader) break;
      if (observed) observed_.push_back({true, GetU32(block_ + at + 4), size, block_ + at + kWriteHeader});
      at += kWriteHeader + size;
    } else {
      break;
    }
  }
  if (observed) observer_->Exchanged(observed_);
  return Report(code, kIpcOk, true);
}

bool IpcClient::TakeLinkLost() {
  bool lost = linkLost_;
  linkLost_ = false;
  return lost;
}

}  // namespace tavelor
