// The Linux link between real processes: the private folder both programs insist on, and a
// block that leaves nothing behind in the system's shared memory, even when the server is
// killed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "e2e/harness.h"

namespace tavelor::e2e {
namespace {

std::set<std::string> SharedMemoryNames() {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error))
    names.insert(entry.path().filename().string());
  return names;
}

TEST(LinkEndToEnd, BothProgramsRefuseAnIpcFolderOthersCanWrite) {
  IpcFolder folder;
  const std::string ipc = folder.Path() + "/ipc";
  ASSERT_EQ(mkdir(ipc.c_str(), 0700), 0);
  ASSERT_EQ(chmod(ipc.c_str(), 0777), 0);
  const std::string expected = "the IPC folder " + ipc + " is writable by other users";
  struct Case {
    std::vector<std::string> argv;
    std::string prefix;
  };
  const Case cases[] = {
      {{TAVELOR_SERVER_BIN, "--bind", "127.0.0.1", "--port", std::to_string(FreePort())},
       "tavelor-server: "},
      {{TAVELOR_SIM_BIN, "--control", std::to_string(FreePort())}, "tavelor-sim: "},
  };
  for (const Case& c : cases) {
    const std::string errors = folder.Path() + "/errors";
    std::filesystem::remove(errors);
    Process program;
    program.Start(c.argv, {"TAVELOR_IPC_DIR=" + ipc}, errors);
    EXPECT_EQ(program.Wait(), 1) << c.argv[0];
    EXPECT_NE(testing::FileBytes(errors).find(c.prefix + expected), std::string::npos)
        << c.argv[0] << ": " << testing::FileBytes(errors);
  }
}

TEST(LinkEndToEnd, AKilledServerLeavesNoBlockBehind) {
  const std::set<std::string> before = SharedMemoryNames();
  Stack stack;
  stack.StartBoth();
  Client client = stack.Connect();
  client.Send("xxRADI");
  EXPECT_EQ(client.ReadUntil("\r\n", milliseconds(5000)).size(), 89u);
  stack.server.Kill();
  for (const std::string& name : SharedMemoryNames())
    EXPECT_TRUE(before.count(name) || name.find("FsasmLib") == std::string::npos) << name;

  // The simulator notices the link's connection close and serves the next server as usual.
  stack.StartServer();
  ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
  Client again = stack.Connect();
  again.Send("xxRADI");
  EXPECT_EQ(again.ReadUntil("\r\n", milliseconds(5000)).size(), 89u);
}

}  // namespace
}  // namespace tavelor::e2e
