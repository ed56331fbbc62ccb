// The Linux link transport against a window socket the test serves by hand (to see exactly
// what goes over the wire) and against the stand-in simulator.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "sim/posix/sim_server.h"
#include "simlink/ipc_client.h"
#include "simlink/posix/ipc_folder.h"
#include "simlink/posix/posix_transport.h"
#include "support/link_wire.h"
#include "support/process.h"

namespace tavelor {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr auto kWait = milliseconds(2000) * testing::kSlowdown;

// A private IPC folder for one test, named in TAVELOR_IPC_DIR while it lives.
class IpcFolder {
 public:
  IpcFolder() {
    std::string pattern = (fs::temp_directory_path() / "tavelor-link-XXXXXX").string();
    if (mkdtemp(pattern.data())) path = pattern;
    setenv("TAVELOR_IPC_DIR", path.c_str(), 1);
  }
  ~IpcFolder() {
    unsetenv("TAVELOR_IPC_DIR");
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_all, ignored);
    fs::remove_all(path, ignored);
  }
  std::string Window() const { return path + "/UIPCMAIN"; }
  std::string path;
};

// The transport with a block, its atom and a found window, as the link has them when open.
struct OpenTransport {
  PosixTransport transport;
  WindowRef window = 0;
  uint16_t atom = 0;
  BlockRef block = 0;
  uint8_t* view = nullptr;

  bool Open(const std::string& name = "FsasmLib:IPC:TEST:1") {
    transport.LimitWaits(static_cast<uint32_t>(100 * testing::kSlowdown));
    window = transport.FindWindowByClass("UIPCMAIN");
    atom = transport.AddAtom(name);
    if (transport.CreateBlock(name, 0x8000, &block) != BlockCreate::kCreated) return false;
    view = transport.MapBlock(block);
    return window != 0 && atom != 0 && view != nullptr;
  }
  // One exchange, as the client sends it: the message's answer, or -1 when it failed.
  int64_t Send(uint32_t timeoutMs = 2000) {
    uint32_t result = 0;
    if (!transport.SendMessageTimeout(window, 0xC0DE, atom, timeoutMs, &result)) return -1;
    return result;
  }
};

TEST(PosixTransportAtoms, NumbersComeBackSoReconnectingNeverRunsOut) {
  PosixTransport transport;
  // Far more opens than there are atom numbers: each takes one and gives it back.
  for (int open = 0; open < 40000; ++open) {
    const uint16_t atom = transport.AddAtom("FsasmLib:IPC:1A2C:1");
    ASSERT_NE(atom, 0) << "open " << open;
    transport.DeleteAtom(atom);
  }
}

TEST(PosixTransportAtoms, AFullTableRefusesUntilANumberIsFreed) {
  PosixTransport transport;
  const uint32_t count = PosixTransport::kLastAtom - PosixTransport::kFirstAtom + 1;
  for (uint32_t i = 0; i < count; ++i)
    ASSERT_NE(transport.AddAtom("name " + std::to_string(i)), 0) << i;
  EXPECT_EQ(transport.AddAtom("one too many"), 0);
  transport.DeleteAtom(0xD123);
  EXPECT_EQ(transport.AddAtom("one too many"), 0xD123);
}

TEST(PosixTransportAtoms, TheSameNameSharesOneNumberUntilEveryAddIsDeleted) {
  PosixTransport transport;
  const uint16_t first = transport.AddAtom("shared");
  EXPECT_EQ(transport.AddAtom("shared"), first);
  transport.DeleteAtom(first);
  EXPECT_EQ(transport.AddAtom("other"), first + 1) << "still taken by the second add";
  transport.DeleteAtom(first);
  EXPECT_EQ(transport.AddAtom("third"), first) << "free again";
}

TEST(PosixTransportWire, OneConnectionCarriesEveryExchangeAndTheBlockGoesOverOnce) {
  IpcFolder folder;
  testing::WindowSocket window(folder.Window());
  ASSERT_TRUE(window.Listening());
  OpenTransport link;
  auto opened = std::async(std::launch::async, [&] { return link.Open(); });
  testing::WireEnd peer = window.Accept(kWait);
  ASSERT_TRUE(peer.Valid());
  ASSERT_TRUE(opened.get());
  EXPECT_EQ(link.transport.FindWindowByClass("UIPCMAIN"), link.window) << "the same window";

  std::vector<testing::Received> got;
  for (uint32_t i = 0; i < 3; ++i) {
    auto sent = std::async(std::launch::async, [&] { return link.Send(); });
    auto message = peer.ReadMessage(kWait);
    ASSERT_TRUE(message);
    peer.Answer(message->message.sequence, 1);
    EXPECT_EQ(sent.get(), 1);
    got.push_back(*message);
  }
  std::vector<testing::WireEnd> more;
  EXPECT_EQ(window.AcceptAll(&more), 0) << "no second connection";

  ASSERT_EQ(got[0].fds.size(), 1u);
  EXPECT_EQ(got[0].message.kind, posixipc::Kind::kExchangeWithBlock);
  // The descriptor is the block itself, sealed so the peer can map it safely.
  EXPECT_TRUE(fcntl(got[0].fds[0], F_GET_SEALS) & F_SEAL_SHRINK);
  link.view[100] = 0x5A;
  uint8_t* seen = static_cast<uint8_t*>(
      mmap(nullptr, 0x8000, PROT_READ, MAP_SHARED, got[0].fds[0], 0));
  ASSERT_NE(seen, MAP_FAILED);
  EXPECT_EQ(seen[100], 0x5A);
  munmap(seen, 0x8000);
  for (size_t i = 1; i < got.size(); ++i) {
    EXPECT_TRUE(got[i].fds.empty()) << i;
    EXPECT_EQ(got[i].message.kind, posixipc::Kind::kExchange) << i;
    EXPECT_EQ(got[i].message.block, got[0].message.block) << i;
    EXPECT_NE(got[i].message.sequence, got[i - 1].message.sequence) << i;
  }
  for (auto& r : got)
    for (int fd : r.fds) close(fd);

  link.transport.UnmapBlock(link.view);
  link.transport.CloseBlock(link.block);
  auto release = peer.ReadMessage(kWait);
  ASSERT_TRUE(release);
  EXPECT_EQ(release->message.kind, posixipc::Kind::kReleaseBlock);
  EXPECT_EQ(release->message.block, got[0].message.block);
}

// What a slow, broken or hostile simulator sends around an answer: only the answer to the
// message just sent counts. An answer waiting before the message went out is stale, whatever
// its number, and an empty packet is not the end of the connection.
TEST(PosixTransportWire, OnlyAnAnswerSentAfterItsMessageCounts) {
  IpcFolder folder;
  testing::WindowSocket window(folder.Window());
  OpenTransport link;
  auto opened = std::async(std::launch::async, [&] { return link.Open(); });
  testing::WireEnd peer = window.Accept(kWait);
  ASSERT_TRUE(opened.get());
  // What the peer sends besides the right answer: an answer 7 to the number `next + offset`,
  // or an empty packet, before the message arrives or after it.
  constexpr int kEmpty = 99;
  const struct {
    const char* what;
    std::vector<int> before, after;
  } cases[] = {{"a late answer to the previous message", {}, {-1}},
               {"the coming message answered ahead", {0}, {}},
               {"an empty packet", {}, {kEmpty}},
               {"all of them", {kEmpty, 0}, {-1, kEmpty}}};
  uint32_t next = 1;
  auto besides = [&](int packet) {
    packet == kEmpty ? peer.SendRaw("") : peer.Answer(next + packet, 7);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (int packet : c.before) besides(packet);
    auto sent = std::async(std::launch::async, [&] { return link.Send(); });
    auto message = peer.ReadMessage(kWait);
    ASSERT_TRUE(message);
    for (int fd : message->fds) close(fd);
    for (int packet : c.after) besides(packet);
    peer.Answer(message->message.sequence, 1);
    next = message->message.sequence + 1;
    EXPECT_EQ(sent.get(), 1);
  }
}

TEST(PosixTransportWire, APeerThatGoesAwayIsNoticedAtOnce) {
  IpcFolder folder;
  auto window = std::make_unique<testing::WindowSocket>(folder.Window());
  OpenTransport link;
  auto opened = std::async(std::launch::async, [&] { return link.Open(); });
  auto peer = std::make_unique<testing::WireEnd>(window->Accept(kWait));
  ASSERT_TRUE(opened.get());
  EXPECT_TRUE(link.transport.WindowExists(link.window));

  peer.reset();
  window.reset();
  link.transport.LimitWaits(20000);  // a time-out waited for would show, whatever the load
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(link.Send(20000), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(10000))
      << "no time-out is waited for";
  EXPECT_NE(link.transport.LastError(), 0u);
  EXPECT_FALSE(link.transport.WindowExists(link.window));
  EXPECT_EQ(link.transport.FindWindowByClass("UIPCMAIN"), 0u);
}

TEST(PosixTransportWire, TheStandInServesSeveralLinksAtOnceEachOnItsOwnBlock) {
  IpcFolder folder;
  sim::SimOptions options;
  options.controlPort = 0;
  sim::SimServer sim(options);
  std::string error;
  ASSERT_TRUE(sim.Open(&error)) << error;
  sim.Start();
  // Two links that number their blocks alike: the simulator tells them apart by connection.
  PosixTransport firstTransport, secondTransport;
  IpcClient first(&firstTransport), second(&secondTransport);
  uint32_t code = 0;
  ASSERT_TRUE(first.Open(0, &code)) << code;
  ASSERT_TRUE(second.Open(0, &code)) << code;
  for (int round = 0; round < 3; ++round) {
    const uint16_t a = static_cast<uint16_t>(0x1000 + round), b = static_cast<uint16_t>(0x2000 + round);
    uint16_t readA = 0, readB = 0;
    ASSERT_TRUE(first.Write(0x0D00, 2, &a) && first.Process());
    ASSERT_TRUE(second.Write(0x0D02, 2, &b) && second.Process());
    ASSERT_TRUE(second.Read(0x0D00, 2, &readA) && first.Read(0x0D02, 2, &readB));
    ASSERT_TRUE(first.Process() && second.Process());
    EXPECT_EQ(readA, a) << round;
    EXPECT_EQ(readB, b) << round;
  }
}

bool NamedBlocksExist(const std::string& name) {
  std::error_code ignored;
  return fs::exists("/dev/shm/" + name, ignored);
}

TEST(PosixTransportBlocks, ANameTakenFirstByAnotherProcessDoesNotKeepTheLinkClosed) {
  IpcFolder folder;
  sim::SimOptions options;
  options.controlPort = 0;
  sim::SimServer sim(options);
  std::string error;
  ASSERT_TRUE(sim.Open(&error)) << error;
  sim.Start();

  // What another local user could do before the server starts: take the block's name.
  char name[64];
  std::snprintf(name, sizeof name, "FsasmLib:IPC:%X:1", static_cast<unsigned>(getpid()));
  const int squatter = shm_open(("/" + std::string(name)).c_str(), O_CREAT | O_RDWR, 0600);
  ASSERT_GE(squatter, 0);
  close(squatter);

  PosixTransport transport;
  transport.LimitWaits(static_cast<uint32_t>(200 * testing::kSlowdown));
  IpcClient client(&transport);
  uint32_t code = 0;
  EXPECT_TRUE(client.Open(0, &code)) << "code " << code;
  shm_unlink(("/" + std::string(name)).c_str());
  EXPECT_FALSE(NamedBlocksExist(name)) << "the block has no name anyone else could see";
  client.Close();
}

TEST(IpcFolderCheck, OnlyAPrivateFolderOfThisUserIsUsed) {
  IpcFolder parent;
  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;  // prepares the folder
    bool accepted;
    std::string tail = {};  // added to the folder's name
  };
  const Case cases[] = {
      {"missing: created", [](const std::string&) {}, true},
      {"mode 0700", [](const std::string& d) { mkdir(d.c_str(), 0700); }, true},
      {"writable by all", [](const std::string& d) { mkdir(d.c_str(), 0700), chmod(d.c_str(), 0777); }, false},
      {"writable by the group", [](const std::string& d) { mkdir(d.c_str(), 0700), chmod(d.c_str(), 0770); }, false},
      {"a link to a good folder",
       [&](const std::string& d) {
         mkdir((parent.path + "/target").c_str(), 0700);
         EXPECT_EQ(symlink((parent.path + "/target").c_str(), d.c_str()), 0);
       },
       false},
      {"a file", [](const std::string& d) { close(open(d.c_str(), O_CREAT | O_WRONLY, 0600)); }, false},
      {"another user's",
       [](const std::string& d) {
         mkdir(d.c_str(), 0700);
         if (chown(d.c_str(), geteuid() + 1, static_cast<gid_t>(-1)) != 0) {
         }
       },
       geteuid() != 0},  // only the superuser can give a folder away
      {"too long for a socket address", [](const std::string&) {}, false, std::string(90, 'x')},
  };
  int n = 0;
  for (const Case& k : cases) {
    const std::string dir = parent.path + "/ipc" + std::to_string(n++) + k.tail;
    k.make(dir);
    setenv("TAVELOR_IPC_DIR", dir.c_str(), 1);
    const std::string problem = posixipc::CheckIpcFolder(dir, true);
    EXPECT_EQ(problem.empty(), k.accepted) << k.what << ": " << problem;

    // The stand-in refuses to serve there, with the same reason.
    sim::SimOptions options;
    options.controlPort = 0;
    sim::SimServer sim(options);
    std::string error;
    EXPECT_EQ(sim.Open(&error), k.accepted) << k.what;
    if (!k.accepted) {
      EXPECT_EQ(error, problem) << k.what;
      continue;
    }
    struct stat st {};
    ASSERT_EQ(lstat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << k.what;
  }
  setenv("TAVELOR_IPC_DIR", parent.path.c_str(), 1);
}

TEST(IpcFolderCheck, TheLinkFindsNoWindowInAFolderOthersCanWrite) {
  IpcFolder folder;
  testing::WindowSocket window(folder.Window());  // anyone's simulator, or an impostor
  ASSERT_TRUE(window.Listening());
  PosixTransport transport;
  ASSERT_EQ(chmod(folder.path.c_str(), 0777), 0);
  EXPECT_EQ(transport.FindWindowByClass("UIPCMAIN"), 0u);
  std::vector<testing::WireEnd> connections;
  EXPECT_EQ(window.AcceptAll(&connections), 0) << "not even a connection";
  ASSERT_EQ(chmod(folder.path.c_str(), 0700), 0);
  EXPECT_NE(transport.FindWindowByClass("UIPCMAIN"), 0u);
}

}  // namespace
}  // namespace tavelor
