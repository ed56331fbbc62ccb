// tavelor-probe against a real server and stand-in simulator: a panel reply shown by its
// names, a command that reaches the simulator, and a port where nothing listens.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace tavelor::e2e {
namespace {

struct ProbeRun {
  int status = -1;
  std::vector<std::string> out;  // lines
  std::string err;
};

ProbeRun Probe(const std::vector<std::string>& args) {
  char errorPath[] = "/tmp/tavelor-probe-err-XXXXXX";
  const int fd = mkstemp(errorPath);
  if (fd >= 0) close(fd);
  std::vector<std::string> argv = {TAVELOR_PROBE_BIN};
  argv.insert(argv.end(), args.begin(), args.end());
  Process probe;
  probe.Start(argv, {}, errorPath);
  ProbeRun run;
  run.status = probe.Wait(milliseconds(15000 * testing::kSlowdown));
  run.out = probe.Lines();
  std::ifstream error(errorPath);
  run.err.assign(std::istreambuf_iterator<char>(error), std::istreambuf_iterator<char>());
  std::remove(errorPath);
  return run;
}

std::string LineWith(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines) {
    if (line.find(text) != std::string::npos) return line;
  }
  return {};
}

TEST(ProbeEndToEnd, ShowsTheRadioPanelByItsNames) {
  Stack stack;
  stack.StartBoth();
  ASSERT_EQ(stack.control.Command("poke 034E 5018"), "OK");  // COM1 118.50
  ASSERT_EQ(stack.control.Command("poke 0354 0012"), "OK");  // transponder 1200

  const ProbeRun run = Probe({"--port", std::to_string(stack.serverPort), "RADI"});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out[0], "RADI: 13 fields");
  EXPECT_EQ(run.out.size(), 14u);
  EXPECT_NE(LineWith(run.out, " com1 ").find("\"118.50\""), std::string::npos);
  EXPECT_NE(LineWith(run.out, " transponder ").find("\"1200\""), std::string::npos);
}

TEST(ProbeEndToEnd, SendsACommandThatReachesTheSimulator) {
  Stack stack;
  stack.StartBoth();
  const ProbeRun run = Probe({"--port", std::to_string(stack.serverPort), "COM1", "119.00", "121.50"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(LineWith(run.out, "COM1: sent and taken; a command answers nothing"), "");
  // The barrier's answer came after the command was handled: the values are there already.
  EXPECT_EQ(stack.control.Command("peek 034E 2"), "OK 0019");
  EXPECT_EQ(stack.control.Command("peek 311A 2"), "OK 5021");
}

TEST(ProbeEndToEnd, SaysWhenNothingListens) {
  const int port = FreePort();
  const ProbeRun run = Probe({"--port", std::to_string(port), "RADI"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("nothing listens on 127.0.0.1:" + std::to_string(port)), std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace tavelor::e2e
