#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "sim/sim_peer.h"
#include "sim/world/parked_aircraft.h"

namespace tavelor::sim {
namespace {

using Bytes = std::vector<uint8_t>;

void PutU32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct BlockBuilder {
  Bytes b;
  BlockBuilder& Read(uint32_t offset, uint32_t size, uint32_t dest = 0xCAFEF00D) {
    PutU32(b, 1), PutU32(b, offset), PutU32(b, size), PutU32(b, dest);
    b.insert(b.end(), size, 0);
    return *this;
  }
  BlockBuilder& Write(uint32_t offset, const Bytes& data) {
    PutU32(b, 2), PutU32(b, offset), PutU32(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return *this;
  }
  BlockBuilder& Raw(const Bytes& raw) {
    b.insert(b.end(), raw.begin(), raw.end());
    return *this;
  }
  Bytes End() {
    PutU32(b, 0);
    return b;
  }
};

Bytes Peek(SimPeer& peer, uint32_t offset, uint32_t size) {
  Bytes out(size);
  peer.Memory().Read(offset, size, out.data());
  return out;
}

constexpr size_t kGuard = 32;
constexpr uint8_t kGuardByte = 0xA5;

// Runs the block embedded between guard bytes, so a walk that strays outside it shows.
uint32_t RunGuarded(SimPeer& peer, Bytes& block) {
  Bytes buffer(kGuard + block.size() + kGuard, kGuardByte);
  std::copy(block.begin(), block.end(), buffer.begin() + kGuard);
  const uint32_t answer = peer.HandleBlock(buffer.data() + kGuard, block.size());
  for (size_t i = 0; i < kGuard; ++i) {
    EXPECT_EQ(buffer[i], kGuardByte) << "guard before the block, byte " << i;
    EXPECT_EQ(buffer[buffer.size() - 1 - i], kGuardByte) << "guard after the block";
  }
  std::copy(buffer.begin() + kGuard, buffer.begin() + kGuard + block.size(), block.begin());
  return answer;
}

struct WalkCase {
  const char* name;
  std::function<void(OffsetMemory&)> setup;
  Bytes block;
  uint32_t answer;
  std::vector<std::pair<size_t, Bytes>> blockAfter;    // position in the block -> bytes
  std::vector<std::pair<uint32_t, Bytes>> memoryAfter;  // offset -> bytes
};

TEST(SimPeerWalk, Table) {
  const auto none = [](OffsetMemory&) {};
  const std::vector<WalkCase> cases = {
      {"read fills data, destination kept", none, BlockBuilder().Read(0x3304, 4).End(), 1,
       {{12, {0x0D, 0xF0, 0xFE, 0xCA}}, {16, {0x00, 0x00, 0x20, 0x40}}}, {}},
      {"reads and writes in block order", none,
       BlockBuilder().Read(0x034E, 2).Write(0x034E, {0x25, 0x18}).Read(0x034E, 2).End(), 1,
       {{16, {0, 0}}, {18 + 12 + 2 + 16, {0x25, 0x18}}}, {{0x034E, {0x25, 0x18}}}},
      {"read straddling the end gets zeros past it",
       [](OffsetMemory& m) { m.WriteU16(0xFFFE, 0xBBAA); },
       BlockBuilder().Read(0xFFFE, 4).Read(0x12345, 2).End(), 1,
       {{16, {0xAA, 0xBB, 0, 0}}, {20 + 16, {0, 0}}}, {}},
      {"write straddling the end keeps its in-range part", none,
       BlockBuilder().Write(0xFFFF, {0x11, 0x22}).Write(0xFFFFFFFF, {0x33}).End(), 1, {},
       {{0xFFFF, {0x11}}, {0x0000, {0x00}}}},
      {"only the first byte of the type ends the list", none,
       BlockBuilder().Write(0x10, {0x77}).Raw({0x00, 0x01, 0x00, 0x00}).Write(0x11, {1}).b, 1,
       {}, {{0x10, {0x77, 0x00}}}},
      {"zero-size records", none, BlockBuilder().Read(0x3304, 0).Write(0x20, {}).End(), 1, {},
       {}},
      {"unknown type refuses the whole block", none,
       BlockBuilder().Write(0x40, {0x99}).Read(0x3304, 4).Raw({3, 0, 0, 0, 0, 0, 0, 0}).End(), 0,
       {{13 + 16, {0, 0, 0, 0}}}, {{0x40, {0x00}}}},
      {"data running past the end", none,
       BlockBuilder().Write(0x40, {0x99}).Raw({2, 0, 0, 0, 0x41, 0, 0, 0, 9, 0, 0, 0, 1, 2}).b,
       0, {}, {{0x40, {0x00}}, {0x41, {0x00}}}},
      {"size near 4 GiB does not wrap", none,
       BlockBuilder().Raw({1, 0, 0, 0, 4, 0x33, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}).End(),
       0, {}, {}},
      {"read header cut by the end", none,
       BlockBuilder().Read(0x3304, 4).Raw({1, 0, 0, 0, 8, 0x33, 0, 0}).b, 0,
       {{16, {0, 0, 0, 0}}}, {}},
      {"type cut by the end", none, BlockBuilder().Write(0x40, {1}).Raw({2, 0}).b, 0, {},
       {{0x40, {0}}}},
      {"no end marker", none, BlockBuilder().Write(0x40, {1}).b, 0, {}, {{0x40, {0}}}},
      {"empty block", none, Bytes{}, 0, {}, {}},
  };
  for (const WalkCase& c : cases) {
    SCOPED_TRACE(c.name);
    SimPeer peer;
    c.setup(peer.Memory());
    Bytes block = c.block;
    EXPECT_EQ(RunGuarded(peer, block), c.answer);
    if (c.answer == 0) {
      EXPECT_EQ(block, c.block) << "a refused block stays as sent";
      EXPECT_TRUE(peer.Journal().empty());
    }
    for (const auto& [pos, bytes] : c.blockAfter)
      EXPECT_EQ(Bytes(block.begin() + pos, block.begin() + pos + bytes.size()), bytes)
          << "block at " << pos;
    for (const auto& [offset, bytes] : c.memoryAfter)
      EXPECT_EQ(Peek(peer, offset, static_cast<uint32_t>(bytes.size())), bytes)
          << "memory at " << offset;
  }
}

TEST(SimPeer, HandshakePresetsAndParkedAircraft) {
  SimPeer peer(PeerOptions{0x19980005, 0xFADE0007});
  EXPECT_EQ(Peek(peer, 0x3304, 8), (Bytes{0x05, 0x00, 0x98, 0x19, 0x07, 0x00, 0xDE, 0xFA}));
  LoadParkedAircraft(peer.Memory());
  EXPECT_EQ(Peek(peer, 0x3304, 4), (Bytes{0x05, 0x00, 0x98, 0x19})) << "versions survive";
  EXPECT_EQ(Peek(peer, 0x034E, 2), (Bytes{0x25, 0x18}));
  EXPECT_EQ(Peek(peer, 0x0354, 2), (Bytes{0x00, 0x70}));
  EXPECT_EQ(Peek(peer, 0x0BEC, 4), (Bytes{0xFF, 0x3F, 0, 0}));
  EXPECT_EQ(Peek(peer, 0x37F0, 8), (Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
}

TEST(SimPeer, FailAnswersZeroWithoutTouchingTheBlockThenRecovers) {
  SimPeer peer;
  bool quit = false;
  EXPECT_EQ(peer.Control("fail 2", &quit), "OK");
  const Bytes sent = BlockBuilder().Write(0x40, {0x55}).Read(0x3304, 4).End();
  for (int i = 0; i < 2; ++i) {
    Bytes block = sent;
    EXPECT_EQ(peer.HandleBlock(block.data(), block.size()), 0u);
    EXPECT_EQ(block, sent);
  }
  EXPECT_EQ(Peek(peer, 0x40, 1), Bytes{0});
  Bytes block = sent;
  EXPECT_EQ(peer.HandleBlock(block.data(), block.size()), 1u);
  EXPECT_EQ(Peek(peer, 0x40, 1), Bytes{0x55});
  EXPECT_EQ(peer.Exchanges(), 3u);

  // A message without a usable block counts and uses up a pending failure too.
  EXPECT_EQ(peer.Control("fail 1", &quit), "OK");
  EXPECT_EQ(peer.HandleMissingBlock(), 0u);
  block = sent;
  EXPECT_EQ(peer.HandleBlock(block.data(), block.size()), 1u);
  EXPECT_EQ(peer.Exchanges(), 5u);
  EXPECT_EQ(peer.Journal().back().exchange, 5u);
}

TEST(SimPeer, HangTakesTheNextExchangesUnansweredAndCountsThem) {
  SimPeer peer;
  bool quit = false;
  EXPECT_FALSE(peer.TakeHang());
  EXPECT_EQ(peer.Control("hang 2", &quit), "OK");
  EXPECT_TRUE(peer.TakeHang());
  EXPECT_TRUE(peer.TakeHang());
  EXPECT_FALSE(peer.TakeHang());
  EXPECT_EQ(peer.Exchanges(), 2u);
  EXPECT_TRUE(peer.Journal().empty());
}

TEST(SimPeer, JournalListsRecordsInArrivalOrderAndEmpties) {
  SimPeer peer;
  Bytes failed = BlockBuilder().Raw({9, 0, 0, 0}).End();
  peer.HandleBlock(failed.data(), failed.size());
  Bytes first = BlockBuilder().Write(0x034E, {0x25, 0x18}).Read(0x3304, 4).End();
  peer.HandleBlock(first.data(), first.size());
  Bytes second = BlockBuilder().Write(0x12345, {0xAB}).Write(0x7, {}).End();
  peer.HandleBlock(second.data(), second.size());
  bool quit = true;
  EXPECT_EQ(peer.Control("journal", &quit),
            "OK 4\n2 W 034E 2 2518\n2 R 3304 4\n3 W 12345 1 AB\n3 W 0007 0");
  EXPECT_FALSE(quit);
  EXPECT_EQ(peer.Control("journal", &quit), "OK 0");
}

TEST(SimPeer, JournalDropsOldestBeyondItsLimit) {
  SimPeer peer;
  BlockBuilder b;
  for (size_t i = 0; i <= SimPeer::kJournalLimit; ++i) b.Read(static_cast<uint32_t>(i), 0);
  Bytes block = b.End();
  ASSERT_EQ(peer.HandleBlock(block.data(), block.size()), 1u);
  ASSERT_LE(peer.Journal().size(), SimPeer::kJournalLimit);
  EXPECT_EQ(peer.Journal().back().offset, SimPeer::kJournalLimit);
}

TEST(SimPeerControl, Table) {
  struct Case {
    const char* line;
    const char* answer;  // a trailing '*' matches any rest
  };
  const std::vector<Case> cases = {
      {"peek 3304 4", "OK 00002040"},
      {"peek 0x3304 4\r", "OK 00002040"},
      {"  PEEK\t0X3304   2 ", "OK 0000"},
      {"poke 10 0aFf", "OK"},
      {"peek 000010 3", "OK 0AFF00"},
      {"poke 0xFFFF 0102", "OK"},
      {"peek FFFF 2", "OK 0100"},
      {"peek FFFFFFFF 1", "OK 00"},
      {"fail 0", "OK"},
      {"hang 0", "OK"},
      {"hang", "ERR *"},
      {"hang -2", "ERR *"},
      {"", "ERR *"},
      {"\r", "ERR *"},
      {"peek", "ERR *"},
      {"peek 3304", "ERR *"},
      {"peek 3304 4 5", "ERR *"},
      {"peek 3304 0", "ERR *"},
      {"peek 3304 65537", "ERR *"},
      {"peek 3304 -1", "ERR *"},
      {"peek 3304 4x", "ERR *"},
      {"peek 3304 99999999999", "ERR *"},
      {"peek 0x 4", "ERR *"},
      {"peek 1FFFFFFFF 4", "ERR *"},
      {"peek 33G4 4", "ERR *"},
      {"poke 10 ABC", "ERR *"},
      {"poke 10 GG", "ERR *"},
      {"poke 10", "ERR *"},
      {"fail", "ERR *"},
      {"fail -1", "ERR *"},
      {"fail two", "ERR *"},
      {"journal now", "ERR *"},
      {"quit now", "ERR *"},
      {"peeks 3304 4", "ERR *"},
      {"\x01\xff garbage", "ERR *"},
  };
  SimPeer peer;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    bool quit = true;
    const std::string got = peer.Control(c.line, &quit);
    const std::string want = c.answer;
    if (want.back() == '*') {
      EXPECT_EQ(got.substr(0, want.size() - 1), want.substr(0, want.size() - 1));
      EXPECT_GT(got.size(), want.size() - 1) << "an ERR carries a reason";
    } else {
      EXPECT_EQ(got, want);
    }
    EXPECT_FALSE(quit);
  }
  EXPECT_EQ(peer.Control("peek 0 65536", nullptr).size(), 3u + 2 * 65536);
  EXPECT_TRUE(peer.Journal().empty()) << "control commands are not exchanges";
  bool quit = false;
  EXPECT_EQ(peer.Control("quit", &quit), "OK");
  EXPECT_TRUE(quit);
}

}  // namespace
}  // namespace tavelor::sim
