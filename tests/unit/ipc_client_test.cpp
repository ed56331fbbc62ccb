#include <gtest/gtest.h>

#include <cstring>

#include "simlink/ipc_client.h"
#include "support/fake_transport.h"

namespace tavelor {
namespace {

using testing::FakeTransport;
using testing::HandshakePeer;

class IpcClientTest : public ::testing::Test {
 protected:
  void OpenOrFail() {
    uint32_t code = 99;
    ASSERT_TRUE(client.Open(0, &code));
    ASSERT_EQ(code, kIpcOk);
    transport.sends = 0;
    transport.sleeps.clear();
  }
  void ExpectAllReleased() {
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(transport.openAtoms, 0);
    EXPECT_EQ(transport.openBlocks, 0);
    EXPECT_EQ(transport.mappedViews, 0);
  }
  FakeTransport transport;
  IpcClient client{&transport};
};

TEST_F(IpcClientTest, OpenNamesTheBlockAndAtomAfterTheProcessAndSendsLibraryVersion) {
  uint32_t written = 0;
  transport.peer = [&](uint8_t* block) {
    // The first pass carries the library version write after the two reads.
    uint32_t type, offset, size;
    std::memcpy(&type, block + 40, 4);
    std::memcpy(&offset, block + 44, 4);
    std::memcpy(&size, block + 48, 4);
    if (type == 2 && offset == 0x330A && size == 2) std::memcpy(&written, block + 52, 2);
    return HandshakePeer(0x19980005, 0xFADE0007)(block);
  };
  OpenOrFail();
  EXPECT_EQ(transport.atomName, "FsasmLib:IPC:1A2C:1");
  EXPECT_EQ(transport.blockName, "FsasmLib:IPC:1A2C:1");
  EXPECT_EQ(written, 2005u);
  EXPECT_EQ(client.SimVersion(), 7u);  // the 0xFADE tag is dropped
  EXPECT_EQ(client.FsuipcVersion(), 0x19980005u);
}

struct OpenCase {
  const char* name;
  std::function<void(FakeTransport&)> setup;
  uint32_t requested;
  uint32_t code;
};

TEST_F(IpcClientTest, OpenFailuresGiveTheirCodeAndReleaseEverything) {
  const OpenCase cases[] = {
      {"no window", [](FakeTransport& t) { t.windows["UIPCMAIN"] = false; }, 0, kIpcNoSimulator},
      {"register", [](FakeTransport& t) { t.registerFails = true; }, 0, kIpcRegisterFailed},
      {"atom", [](FakeTransport& t) { t.atomFails = true; }, 0, kIpcAtomFailed},
      {"mapping", [](FakeTransport& t) { t.createResult = BlockCreate::kFailed; }, 0, kIpcMappingFailed},
      {"exists", [](FakeTransport& t) { t.createResult = BlockCreate::kAlreadyExists; }, 0, kIpcMappingFailed},
      {"view", [](FakeTransport& t) { t.mapFails = true; }, 0, kIpcViewFailed},
      {"old fsuipc", [](FakeTransport& t) { t.peer = HandshakePeer(0x19980004, 0xFADE0008); }, 0, kIpcWrongVersion},
      {"not fade", [](FakeTransport& t) { t.peer = HandshakePeer(0x40000000, 0xFADF0008); }, 0, kIpcWrongVersion},
      {"wideclient",
       [](FakeTransport& t) {
         t.windows = {{"UIPCMAIN", false}, {"FS98MAIN", true}};
         t.peer = HandshakePeer(0, 0);
       },
       0, kIpcWrongServer},
      {"other sim", [](FakeTransport& t) { t.peer = HandshakePeer(0x40000000, 0xFADE0008); }, 7, kIpcSimNotRequested},
      {"peer refuses", [](FakeTransport& t) { t.peer = [](uint8_t*) { return 0u; }; }, 0, kIpcBadData},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTransport transport;
    c.setup(transport);
    IpcClient client(&transport);
    uint32_t code = 99;
    EXPECT_FALSE(client.Open(c.requested, &code));
    EXPECT_EQ(code, c.code);
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(transport.openAtoms, 0);
    EXPECT_EQ(transport.openBlocks, 0);
    EXPECT_EQ(transport.mappedViews, 0);
  }
}

TEST_F(IpcClientTest, HandshakeMakesFivePassesAtMostAndSleepsAfterEach) {
  int passes = 0;
  transport.peer = [&](uint8_t* block) {
    ++passes;
    // Versions appear on the third pass only.
    return passes < 3 ? HandshakePeer(0, 0)(block) : HandshakePeer(0x40000000, 0xFADE0001)(block);
  };
  uint32_t code = 0;
  EXPECT_TRUE(client.Open(0, &code));
  EXPECT_EQ(passes, 3);
  EXPECT_EQ(transport.sleeps, std::vector<uint32_t>(3, 100));

  FakeTransport never;
  never.peer = HandshakePeer(0, 0);
  IpcClient other(&never);
  EXPECT_FALSE(other.Open(0, &code));
  EXPECT_EQ(never.sends, 5);
}

TEST_F(IpcClientTest, OpenTwiceIsRefusedAndChangesNothing) {
  OpenOrFail();
  uint32_t code = 0;
  EXPECT_FALSE(client.Open(0, &code));
  EXPECT_EQ(code, kIpcAlreadyOpen);
  EXPECT_TRUE(client.IsOpen());
  EXPECT_EQ(transport.sends, 0);
}

TEST_F(IpcClientTest, FillLimitAtTheExactBoundaries) {
  OpenOrFail();
  struct Case {
    bool read;
    uint32_t size;
    bool accepted;
  } cases[] = {
      {true, 32492, true}, {true, 32493, false}, {false, 32496, true}, {false, 32497, false},
      {true, 0xFFFFFFFF, false}, {false, 0xFFFFFFF4, false},  // sizes that would wrap a 32-bit sum
  };
  static std::vector<uint8_t> buffer(32497);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    uint32_t code = 99;
    bool ok = c.read ? client.Read(0x1000, c.size, nullptr, &code)
                     : client.Write(0x1000, c.size, buffer.data(), &code);
    EXPECT_EQ(ok, c.accepted);
    EXPECT_EQ(code, c.accepted ? kIpcOk : kIpcBlockFull);
    if (ok) client.Process();
  }
}

TEST_F(IpcClientTest, CallsOnAClosedLinkOrEmptyQueueSendNothing) {
  uint32_t code = 0;
  uint32_t value = 0;
  EXPECT_FALSE(client.Read(0x3304, 4, &value, &code));
  EXPECT_EQ(code, kIpcNotOpen);
  EXPECT_FALSE(client.Write(0x3304, 4, &value, &code));
  EXPECT_EQ(code, kIpcNotOpen);
  EXPECT_FALSE(client.Process(&code));
  EXPECT_EQ(code, kIpcNotOpen);
  OpenOrFail();
  EXPECT_FALSE(client.Process(&code));
  EXPECT_EQ(code, kIpcNothingQueued);
  EXPECT_EQ(transport.sends, 0);
}

TEST_F(IpcClientTest, ReadsAreDeliveredAndWritesCopiedWhenQueued) {
  OpenOrFail();
  transport.peer = [](uint8_t* block) {
    // Answer the first read record with 0x1825, and check the write carried 0xBEEF.
    block[16] = 0x25;
    block[17] = 0x18;
    uint16_t written;
    std::memcpy(&written, block + 18 + 12, 2);
    return written == 0xBEEF ? 1u : 0u;
  };
  uint16_t value = 0;
  uint16_t source = 0xBEEF;
  ASSERT_TRUE(client.Read(0x034E, 2, &value));
  ASSERT_TRUE(client.Write(0x034E, 2, &source));
  source = 0;  // the caller may reuse its variable at once
  uint32_t code = 99;
  EXPECT_TRUE(client.Process(&code));
  EXPECT_EQ(code, kIpcOk);
  EXPECT_EQ(value, 0x1825);
  EXPECT_EQ(transport.sends, 1);
}

TEST_F(IpcClientTest, PeerAnswerOtherThanOneLeavesDestinationsAndEmptiesTheQueue) {
  OpenOrFail();
  transport.peer = [](uint8_t* block) {
    block[16] = 0x55;
    return 2u;
  };
  uint8_t value = 0x11;
  client.Read(0x0300, 1, &value);
  uint32_t code = 0;
  EXPECT_FALSE(client.Process(&code));
  EXPECT_EQ(code, kIpcBadData);
  EXPECT_EQ(value, 0x11);
  EXPECT_TRUE(client.IsOpen());  // a bad answer is not a lost simulator
  EXPECT_FALSE(client.TakeLinkLost());
  EXPECT_FALSE(client.Process(&code));
  EXPECT_EQ(code, kIpcNothingQueued);
}

TEST_F(IpcClientTest, RetriesAreCountedAndTheThirdSucceeds) {
  OpenOrFail();
  transport.failSends = 2;
  transport.sends = 0;
  uint8_t value = 0;
  client.Read(0x0300, 1, &value);
  uint32_t code = 99;
  EXPECT_TRUE(client.Process(&code));
  EXPECT_EQ(transport.sends, 3);
  EXPECT_EQ(transport.sleeps, std::vector<uint32_t>(2, 100));
}

TEST_F(IpcClientTest, EveryAttemptFailingClosesTheLinkWithCode11Or12) {
  for (uint32_t error : {0u, 1460u}) {
    SCOPED_TRACE(error);
    FakeTransport transport;
    IpcClient client(&transport);
    ASSERT_TRUE(client.Open(0));
    transport.sends = 0;
    transport.sleeps.clear();
    transport.failSends = -1;
    transport.sendError = error;
    uint32_t value = 0x77;
    client.Read(0x0300, 4, &value);
    uint32_t code = 0;
    EXPECT_FALSE(client.Process(&code));
    EXPECT_EQ(code, error ? kIpcSendFailed : kIpcTimedOut);
    EXPECT_EQ(transport.sends, 10);
    EXPECT_EQ(transport.sleeps, std::vector<uint32_t>(10, 100));  // also after the tenth
    EXPECT_EQ(value, 0x77u);
    EXPECT_TRUE(client.TakeLinkLost());
    EXPECT_FALSE(client.TakeLinkLost());
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(transport.openBlocks, 0);
    EXPECT_FALSE(client.Process(&code));
    EXPECT_EQ(code, kIpcNotOpen);
  }
}

TEST_F(IpcClientTest, AVanishedWindowEndsTheExchangeAtTheFirstFailure) {
  OpenOrFail();
  transport.failSends = -1;
  transport.windowStillExists = false;
  client.Write(0x0300, 1, "x");
  EXPECT_FALSE(client.Process());
  EXPECT_EQ(transport.sends, 1);
  EXPECT_TRUE(transport.sleeps.empty());
  EXPECT_TRUE(client.TakeLinkLost());
}

TEST_F(IpcClientTest, RecordWalkStopsAtABadTypeAndNeverTrustsAResizedRecord) {
  OpenOrFail();
  uint16_t first = 0, second = 0, third = 0;
  client.Read(0x0001, 2, &first);
  client.Read(0x0002, 2, &second);
  client.Read(0x0003, 2, &third);
  transport.peer = [](uint8_t* block) {
    for (int i = 0; i < 3; ++i) {
      block[i * 18 + 16] = 0x11 * (i + 1);
    }
    block[18 + 8] = 200;   // the peer grew the second record: its bytes are not copied
    return 1u;
  };
  EXPECT_TRUE(client.Process());
  EXPECT_EQ(first, 0x11);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(third, 0);  // the walk stepped past the grown record onto garbage and stopped

  client.Read(0x0001, 2, &first);
  client.Read(0x0002, 2, &second);
  transport.peer = [](uint8_t* block) {
    block[16] = 0x44;
    block[18] = 9;  // unknown type where the second record was
    block[18 + 16] = 0x55;
    return 1u;
  };
  EXPECT_TRUE(client.Process());
  EXPECT_EQ(first, 0x44);
  EXPECT_EQ(second, 0);
}

}  // namespace
}  // namespace tavelor

// The stand-in keeps its identity however many clients have written their library version:
// the 2-byte write at 0x330A lands in the high half of the 4-byte simulator version.
#include "support/sim_link.h"

namespace tavelor {
namespace {

TEST(IpcClientOnStandIn, SecondAndLaterClientsStillPassTheHandshake) {
  sim::SimPeer peer;
  for (int client = 0; client < 3; ++client) {
    SCOPED_TRACE(client);
    testing::FakeTransport transport;
    transport.peer = [&](uint8_t* block) { return peer.HandleBlock(block, ipc::kBlockSize); };
    IpcClient link(&transport);
    uint32_t code = 99;
    EXPECT_TRUE(link.Open(0, &code));
    EXPECT_EQ(code, kIpcOk);
    EXPECT_EQ(peer.LibraryVersion(), 2005);
  }
}

}  // namespace
}  // namespace tavelor
