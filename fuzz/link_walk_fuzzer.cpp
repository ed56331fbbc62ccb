// The link client's walk of a block written by a hostile peer. The client queues reads and
// writes (their kinds and sizes from the input's end), the peer leaves the input's front bytes
// in the block at a place the input picks and answers what the input says. Whatever the block
// then holds, the client may copy only into the variables it queued, each exactly its size
// (each one is its own heap allocation of that size, so a byte beyond is a sanitizer report),
// and the link must serve the next exchange as if nothing had happened.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_records.h"
#include "support/fake_transport.h"

namespace {

using namespace tavelor;

testing::FakeTransport* gTransport = nullptr;
IpcClient* gClient = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gTransport = new testing::FakeTransport;
  gClient = new IpcClient(gTransport);
  FUZZ_CHECK(gClient->Open(0));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  testing::FakeTransport& transport = *gTransport;
  IpcClient& client = *gClient;
  transport.sends = 0;
  transport.sleeps.clear();

  const int records = input.ConsumeIntegralInRange(0, 40);
  std::vector<std::unique_ptr<uint8_t[]>> variables;
  for (int i = 0; i < records; ++i) {
    const bool read = input.ConsumeBool();
    const uint32_t offset = input.ConsumeIntegral<uint16_t>();
    // Mostly the sizes of real values; now and then a large one.
    const uint32_t size = input.ConsumeBool() ? input.ConsumeIntegralInRange<uint32_t>(0, 8)
                                              : input.ConsumeIntegralInRange<uint32_t>(0, 0x8000);
    variables.emplace_back(new uint8_t[size > 0 ? size : 1]);
    std::memset(variables.back().get(), 0x5A, size);
    if (read) {
      client.Read(offset, size, variables.back().get());
    } else {
      client.Write(offset, size, variables.back().get());
    }
  }
  const uint32_t answer = input.ConsumeBool() ? 1 : input.ConsumeIntegral<uint32_t>();
  const uint32_t at = input.ConsumeIntegralInRange<uint32_t>(0, ipc::kBlockSize);
  const std::vector<uint8_t> written = input.ConsumeRemainingBytes<uint8_t>();

  transport.peer = [&](uint8_t* block) {
    const size_t n = std::min<size_t>(written.size(), ipc::kBlockSize - at);
    if (n > 0) std::memcpy(block + at, written.data(), n);
    return answer;
  };
  client.Process();

  // The next exchange, with an honest peer, works and fills its read.
  transport.peer = testing::HandshakePeer(0x40200000, 0xFADE0008);
  uint32_t version = 0;
  FUZZ_CHECK(client.Read(ipc::kFsuipcVersionOffset, 4, &version));
  FUZZ_CHECK(client.Process());
  FUZZ_CHECK(version == 0x40200000);
  return 0;
}
