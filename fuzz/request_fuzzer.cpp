// Any bytes as one read event: framing, dispatch and every handler, against the stand-in's offset
// memory (a parked aircraft, fresh for every input). The input's last byte steers the simulator
// side, so the fuzzer reaches the paths a real simulator takes now and then:
//   bits 0-1  the link: 0 answers, 1 refuses the first exchange, 2 refuses every exchange,
//             3 the simulator is gone (every attempt fails, its window closed)
//   bit 2     debug logging on
//   bit 3     the PFD and FGP counts one short of their speed re-send
//   bits 4-5  SpeedRefMode
//   bit 6     the peer scribbles over the block after walking it (4 more bytes from the end
//             seed what it writes where)
//   bit 7     the peer answers a number other than 1 (taken from the same seed)
// Every answer must end with CR LF, and no log line may carry a control byte.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "core/request_state.h"
#include "fuzz_check.h"
#include "server/connections.h"
#include "sim/sim_peer.h"
#include "sim/world/parked_aircraft.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_records.h"
#include "support/fake_transport.h"

namespace tavelor {
namespace {

// Takes every answer whole and checks its end.
class AnswerCheck : public EventLoop {
 public:
  void SetEvents(LoopEvents*) override {}
  void StartTimer(unsigned) override {}
  void StopTimer() override {}
  void StartIdleCheck(unsigned) override {}
  void StopIdleCheck() override {}
  bool Listen(uint16_t, SocketFailure*) override { return true; }
  void StopListening() override {}
  SendResult Send(ConnectionId, const char* data, size_t size) override {
    FUZZ_CHECK(size >= 2 && data[size - 2] == '\r' && data[size - 1] == '\n');
    SendResult result;
    result.accepted = size;
    return result;
  }
  void WatchWritable(ConnectionId, bool) override {}
  void Close(ConnectionId) override {}
  std::string LocalAddress() override { return {}; }
};

// No log line may carry a control byte.
void CheckLogLine(const std::string& line) {
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    FUZZ_CHECK(byte >= 0x20 && byte != 0x7F);
  }
}

struct Setup {
  testing::FakeTransport transport;
  sim::OffsetMemory parked;
  sim::SimPeer* peer = nullptr;
  std::minstd_rand scribbler;
  bool scribble = false;
  bool oddAnswer = false;
  IpcClient link{&transport};
  RequestState state{link, CheckLogLine};
  AnswerCheck loop;
  Connections connections{&loop, state};
  std::string folder;
};

Setup* gSetup = nullptr;

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(gSetup->folder, ignored);
}

uint32_t HandleBlock(uint8_t* block) {
  Setup& s = *gSetup;
  uint32_t answer = s.peer->HandleBlock(block, ipc::kBlockSize);
  if (s.scribble) {
    // Mostly over the first records, where the headers are; now and then anywhere.
    const int writes = 1 + static_cast<int>(s.scribbler() % 8);
    for (int i = 0; i < writes; ++i) {
      const uint32_t span = s.scribbler() % 4 == 0 ? ipc::kBlockSize : 512;
      const uint32_t at = static_cast<uint32_t>(s.scribbler() % span);
      const uint32_t length = static_cast<uint32_t>(s.scribbler() % 16);
      for (uint32_t k = 0; k < length && at + k < ipc::kBlockSize; ++k)
        block[at + k] = static_cast<uint8_t>(s.scribbler());
    }
  }
  if (s.oddAnswer) answer = static_cast<uint32_t>(s.scribbler());
  return answer;
}

}  // namespace
}  // namespace tavelor

using namespace tavelor;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gSetup = new Setup;
  Setup& s = *gSetup;
  std::string folder = (std::filesystem::temp_directory_path() / "tavelor-fuzz-XXXXXX").string();
  if (!mkdtemp(folder.data())) std::abort();
  s.folder = folder;
  std::atexit(RemoveFolder);
  s.state.AppFolder = folder + "/";
  sim::SimPeer parked;  // its memory answers the link's handshake
  sim::LoadParkedAircraft(parked.Memory());
  s.parked = parked.Memory();
  s.transport.peer = [](uint8_t* block) { return HandleBlock(block); };
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Setup& s = *gSetup;
  FuzzedDataProvider input(data, size);
  const uint8_t mode = input.ConsumeIntegral<uint8_t>();
  s.scribble = mode & 0x40;
  s.oddAnswer = mode & 0x80;
  if (s.scribble || s.oddAnswer) s.scribbler.seed(input.ConsumeIntegral<uint32_t>());
  const std::string received = input.ConsumeRemainingBytesAsString();

  sim::SimPeer peer;
  peer.Memory() = s.parked;
  s.peer = &peer;
  s.transport.failSends = 0;
  s.transport.windowStillExists = true;
  s.transport.sends = 0;
  s.transport.sleeps.clear();
  s.link.TakeLinkLost();
  if (!s.link.IsOpen()) {
    // Opened with a plain peer: the handshake is not what is being fuzzed here.
    const bool scribble = s.scribble, oddAnswer = s.oddAnswer;
    s.scribble = s.oddAnswer = false;
    FUZZ_CHECK(IpcOpen(s.link, 0));
    s.scribble = scribble;
    s.oddAnswer = oddAnswer;
  }
  bool quit = false;
  switch (mode & 3) {
    case 1: peer.Control("fail 1", &quit); break;
    case 2: peer.Control("fail 1000", &quit); break;
    case 3:
      s.transport.failSends = -1;
      s.transport.windowStillExists = false;
      break;
    default: break;
  }
  s.state.DebugEnabled = mode & 0x04;
  s.state.PfdRefreshCount = s.state.FgpRefreshCount = (mode & 0x08) ? 100 : 0;
  s.state.SpeedRefMode = (mode >> 4) & 3;

  s.connections.Received(1, received);
  s.peer = nullptr;
  return 0;
}
