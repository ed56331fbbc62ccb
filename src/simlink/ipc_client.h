// The simulator link: callers queue reads and writes of simulator offsets into a shared block
// and hand it over in one exchange. The program has one link, which its owner (TfMain) hands to
// every request; a test builds its own. Every operation answers true or false and an
// IpcResultCode through `code`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "simlink/exchange_observer.h"
#include "simlink/ipc_records.h"
#include "simlink/offset.h"
#include "simlink/ipc_transport.h"

namespace tavelor {

enum IpcResultCode : uint32_t {
  kIpcOk = 0,
  kIpcAlreadyOpen = 1,
  kIpcNoSimulator = 2,
  kIpcRegisterFailed = 3,
  kIpcAtomFailed = 4,
  kIpcMappingFailed = 5,
  kIpcViewFailed = 6,
  kIpcWrongVersion = 7,
  kIpcSimNotRequested = 8,
  kIpcNotOpen = 9,
  kIpcNothingQueued = 10,
  kIpcTimedOut = 11,
  kIpcSendFailed = 12,
  kIpcBadData = 13,
  kIpcWrongServer = 14,
  kIpcBlockFull = 15,
};

// Texts naming the codes, indexed by code.
extern const char* const IpcMessageText[16];

inline constexpr uint32_t kIpcLibraryVersion = 2005;
inline constexpr int kIpcAttempts = 10;
inline constexpr uint32_t kIpcSendTimeoutMs = 2000;
inline constexpr uint32_t kIpcRetrySleepMs = 100;

class IpcClient {
 public:
  explicit IpcClient(IpcTransport* transport) : transport_(transport) {}
  ~IpcClient() { Close(); }
  IpcClient(const IpcClient&) = delete;
  IpcClient& operator=(const IpcClient&) = delete;

  bool Open(uint32_t requestedSim, uint32_t* code = nullptr);
  void Close();
  bool Read(uint32_t offset, uint32_t size, void* destination, uint32_t* code = nullptr);
  bool Write(uint32_t offset, uint32_t size, const void* source, uint32_t* code = nullptr);
  bool Process(uint32_t* code = nullptr);

  bool IsOpen() const { return block_ != nullptr; }
  uint32_t FsuipcVersion() const { return fsuipcVersion_; }
  uint32_t SimVersion() const { return simVersion_; }

  // Set when an exchange found the simulator gone (every attempt failed, or its window is
  // gone): the link has then been closed. The shell logs it and starts connecting again.
  bool TakeLinkLost();

  // Whether the last exchange failed every attempt while the simulator's window was still
  // there: the simulator exists but does not answer (hung, or busy for seconds). The shell
  // waits longer between attempts to connect while that lasts.
  bool PeerUnanswered() const { return peerUnanswered_; }

  // Told of every exchange `Process` completes (nullptr: nobody); the observer outlives the link
  // or is taken off first.
  void SetObserver(ExchangeObserver* observer) { observer_ = observer; }

 private:
  struct Destination {
    void* variable;
    uint32_t size;
  };
  bool Exchange(uint32_t* code, bool duringOpen);
  bool Fits(uint32_t headerSize, uint32_t size) const;

  IpcTransport* transport_;
  uint32_t fsuipcVersion_ = 0;
  uint32_t simVersion_ = 0;
  WindowRef window_ = 0;
  uint32_t message_ = 0;
  uint16_t atom_ = 0;
  BlockRef mapping_ = 0;
  uint8_t* block_ = nullptr;
  size_t next_ = 0;                 // bytes queued from the block's start
  std::vector<Destination> destinations_;  // a read record's destination field: index + 1
  std::vector<Destination> exchanging_;    // the destinations of the exchange under way
  ExchangeObserver* observer_ = nullptr;
  std::vector<LinkRecord> observed_;       // the records the observer is shown, kept for reuse
  bool linkLost_ = false;
  bool peerUnanswered_ = false;
};

// The link's operations, as every handler calls them on the link it is handed.
inline bool IpcOpen(IpcClient& link, uint32_t requestedSim, uint32_t* code = nullptr) {
  return link.Open(requestedSim, code);
}
inline void IpcClose(IpcClient& link) { link.Close(); }
inline bool IpcProcess(IpcClient& link, uint32_t* code = nullptr) { return link.Process(code); }

// Typed reads and writes: the size is the offset's value size. The destination must be exactly
// the offset's type (no conversion is deduced), and must stay alive until IpcProcess.
template <typename T>
bool IpcRead(IpcClient& link, Offset<T> offset, std::type_identity_t<T>* destination,
             uint32_t* code = nullptr) {
  return link.Read(offset.address, sizeof(T), destination, code);
}
template <typename T>
bool IpcWrite(IpcClient& link, Offset<T> offset, const std::type_identity_t<T>& value,
              uint32_t* code = nullptr) {
  return link.Write(offset.address, sizeof(T), &value, code);
}

}  // namespace tavelor
