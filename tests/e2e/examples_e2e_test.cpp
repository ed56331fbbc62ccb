// Every `console` example of docs/protocol.md, docs/pages.md and the README, run against a
// freshly started `tavelor-server --sim` and compared byte for byte with what it shows. Each block
// starts anew (the stand-in's journal emptied of the connection's handshake, no flight plan in
// the server's folder), and runs its `$` lines in a shell in the server's folder, with an `nc`
// that stands for the examples' ports (support/example_nc.cpp), a tavelor-probe that talks to
// the test's server, and the other programs as built. A block that shows `$ nc localhost 9697` alone is a session on the
// control channel: its lines are commands, each followed by its answer. The shell's output is
// compared as a terminal shows it: a CR LF is a line end, and the last line ends. A block that
// starts the server itself (`$ tavelor-server --sim --replay ...`) has it started so. A block
// that runs mosquitto_sub or mosquitto_pub gets a Mosquitto broker and tavelor-mqtt in front of
// the server, the two clients speaking to that broker; a publish is given a second to be
// handled before the next command, as a user typing would.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/harness.h"

namespace tavelor::e2e {
namespace {

namespace fs = std::filesystem;

struct Block {
  std::string where;  // "README.md:120"
  std::vector<std::string> lines;
};

std::vector<Block> ConsoleBlocks(const std::string& file) {
  std::ifstream in(std::string(TAVELOR_SOURCE_DIR) + "/" + file);
  std::vector<Block> blocks;
  Block* open = nullptr;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!open && line == "```console") {
      open = &blocks.emplace_back(Block{file + ":" + std::to_string(number), {}});
    } else if (open && line == "```") {
      open = nullptr;
    } else if (open) {
      open->lines.push_back(line);
    }
  }
  return blocks;
}

// The terminal's view of a program's output.
std::string AsTerminalShows(std::string output) {
  for (size_t at; (at = output.find("\r\n")) != std::string::npos;) output.erase(at, 1);
  if (!output.empty() && output.back() != '\n') output += '\n';
  return output;
}

std::string Joined(const std::vector<std::string>& lines, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to; ++i) text += lines[i] + "\n";
  return text;
}

// The server's folder (its flight plan goes there), a bin folder with the examples' nc and
// tavelor-probe first on the PATH, and the ports.
class ExampleWorld {
 public:
  ExampleWorld() {
    char pattern[] = "/tmp/tavelor-examples-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    folder_ = pattern;
    fs::create_directory(folder_ + "/bin");
    fs::copy_file(TAVELOR_SERVER_BIN, folder_ + "/tavelor-server");
    fs::create_symlink(TAVELOR_EXAMPLE_NC_BIN, folder_ + "/bin/nc");
    fs::create_symlink(TAVELOR_SIM_BIN, folder_ + "/bin/tavelor-sim");
    fs::create_symlink(TAVELOR_WEB_BIN, folder_ + "/bin/tavelor-web");
    Script("mosquitto_sub", "exec /usr/bin/mosquitto_sub -p \"$TAVELOR_EXAMPLE_BROKER_PORT\" -W 10 \"$@\"\n");
    Script("mosquitto_pub", "/usr/bin/mosquitto_pub -p \"$TAVELOR_EXAMPLE_BROKER_PORT\" \"$@\" && sleep 1\n");
    Script("tavelor-probe", "exec " + std::string(TAVELOR_PROBE_BIN) + " --port \"$TAVELOR_EXAMPLE_PANEL_PORT\" \"$@\"\n");
    std::ofstream(folder_ + "/broker.conf") << "listener " << brokerPort_ << " 127.0.0.1\nallow_anonymous true\n\n";
  }
  ~ExampleWorld() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // A fresh server for one block, with `extra` options.
  bool Start(const std::vector<std::string>& extra = {}) {
    bridge_.Kill();
    server_.Kill();
    std::error_code ignored;
    fs::remove(folder_ + "/Quindrel.pln", ignored);
    panelPort_ = testing::FreePort();
    controlPort_ = testing::FreePort();
    std::vector<std::string> argv = {folder_ + "/tavelor-server", "--sim", "--connect-now", "--bind", "127.0.0.1",
                                      "--port", std::to_string(panelPort_), "--sim-control",
                                      std::to_string(controlPort_)};
    argv.insert(argv.end(), extra.begin(), extra.end());
    server_.Start(argv, {ipc_.Env()});
    if (!server_.WaitForLine("- IP: ")) return false;
    SimControl control;
    if (!control.Connect(controlPort_)) return false;
    control.Journal();  // the connection's handshake
    return true;
  }

  std::string Shell(const std::string& command) {
    testing::Process shell;
    shell.Start({"sh", "-c", "cd '" + folder_ + "' && { " + command + "\n} 2>&1"},
                {"PATH=" + folder_ + "/bin:" + std::getenv("PATH"), "LC_ALL=C",
                 "TAVELOR_EXAMPLE_PANEL_PORT=" + std::to_string(panelPort_),
                 "TAVELOR_EXAMPLE_CONTROL_PORT=" + std::to_string(controlPort_),
                 "TAVELOR_EXAMPLE_BROKER_PORT=" + std::to_string(brokerPort_)});
    if (shell.Wait(milliseconds(30000)) < 0) return "(still running after 30 s)\n";
    return AsTerminalShows(shell.Output());
  }

  int ControlPort() const { return controlPort_; }

  // The broker (once) and a bridge for this block's server, its values published.
  bool StartBridge() {
    if (bridge_.Running()) return true;
    if (!broker_.Running()) {
      broker_.Start({"/usr/sbin/mosquitto", "-c", folder_ + "/broker.conf"});
      std::this_thread::sleep_for(milliseconds(300));  // listening: the bridge's first try finds it
    }
    bridge_.Start({TAVELOR_MQTT_BIN, "--server", "127.0.0.1:" + std::to_string(panelPort_), "--broker",
                   "127.0.0.1:" + std::to_string(brokerPort_)});
    if (!bridge_.WaitForLine("Broker connected") || !bridge_.WaitForLine("Panel server connected")) return false;
    std::this_thread::sleep_for(milliseconds(1000));  // the first values out
    return true;
  }

 private:
  void Script(const std::string& name, const std::string& body) {
    std::ofstream(folder_ + "/bin/" + name) << "#!/bin/sh\n" << body;
    fs::permissions(folder_ + "/bin/" + name, fs::perms::owner_all);
  }

  std::string folder_;
  IpcFolder ipc_;
  Process server_;
  Process broker_;
  Process bridge_;
  int brokerPort_ = testing::FreePort();
  int panelPort_ = 0;
  int controlPort_ = 0;
};

// A block that starts with `$ tavelor-server --sim OPTIONS` has the server started so; a path
// among the options is the repository's.
std::vector<std::string> ServerOptions(const Block& block) {
  const std::string start = "$ tavelor-server --sim ";
  std::vector<std::string> options;
  if (block.lines.empty() || block.lines[0].rfind(start, 0) != 0) return options;
  std::istringstream words(block.lines[0].substr(start.size()));
  for (std::string word; words >> word;) {
    const std::string inRepository = std::string(TAVELOR_SOURCE_DIR) + "/" + word;
    options.push_back(fs::exists(inRepository) ? inRepository : word);
  }
  return options;
}

void RunBlock(ExampleWorld& world, const Block& block) {
  const std::vector<std::string> options = ServerOptions(block);
  ASSERT_TRUE(world.Start(options)) << "the server did not start";
  const std::vector<std::string>& lines = block.lines;
  for (size_t i = options.empty() ? 0 : 1; i < lines.size();) {
    ASSERT_EQ(lines[i].rfind("$ ", 0), 0u) << "a line that no command printed: " << lines[i];
    const std::string command = lines[i].substr(2);
    if (command == "nc localhost 9697") {  // a session: command, answer, command...
      SimControl control;
      ASSERT_TRUE(control.Connect(world.ControlPort()));
      for (size_t at = i + 1; at < lines.size();) {
        const std::vector<std::string> answer = control.Answer(lines[at]);
        const size_t end = std::min(lines.size(), at + 1 + answer.size());
        EXPECT_EQ(Joined(answer, 0, answer.size()), Joined(lines, at + 1, end)) << lines[at];
        at = end;
      }
      return;
    }
    if (command.rfind("mosquitto_", 0) == 0) {
      ASSERT_TRUE(world.StartBridge()) << "no broker and bridge";
    }
    size_t next = i + 1;
    while (next < lines.size() && lines[next].rfind("$ ", 0) != 0) ++next;
    EXPECT_EQ(world.Shell(command), Joined(lines, i + 1, next)) << command;
    i = next;
  }
}

TEST(Examples, EveryConsoleExampleOfTheReferenceAndTheReadmeRunsAsShown) {
  ExampleWorld world;
  const struct {
    const char* file;
    size_t atLeast;  // so that a change of the blocks' mark cannot empty the test
  } documents[] = {{"docs/protocol.md", 60}, {"README.md", 8}, {"docs/pages.md", 2}};
  for (const auto& document : documents) {
    const std::vector<Block> blocks = ConsoleBlocks(document.file);
    EXPECT_GE(blocks.size(), document.atLeast) << document.file;
    for (const Block& block : blocks) {
      SCOPED_TRACE(block.where);
      RunBlock(world, block);
    }
  }
}

}  // namespace
}  // namespace tavelor::e2e
