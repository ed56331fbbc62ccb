#include "wine_harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sched.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace tavelor::wine {

namespace {

using Clock = std::chrono::steady_clock;

std::string gStderrLog = "/dev/null";  // where the children's standard error goes

bool FileContains(const std::string& path, const std::string& text) {
  std::ifstream file(path);
  std::stringstream content;
  content << file.rdbuf();
  return content.str().find(text) != std::string::npos;
}

}  // namespace

void SetWineEnvironment(const std::string& prefix) {
  setenv("WINEPREFIX", prefix.c_str(), 1);
  setenv("WINEDEBUG", "-all", 1);
  // No installer prompts for the .NET and HTML engines in a new prefix.
  setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  gStderrLog = prefix + ".stderr.log";
}

const std::string& WineErrorLog() { return gStderrLog; }

RunResult Run(const std::vector<std::string>& argv, Ms timeout) {
  // Done when the program has ended: a process it started may hold its output open for longer.
  Process process;
  process.Start(argv, {}, gStderrLog);
  RunResult result;
  result.exitCode = process.Wait(timeout);  // when -1, the destructor kills it
  result.out = process.Output();
  return result;
}

std::string PrivateNetworkName(const std::string& prefix) {
  char name[40];
  std::snprintf(name, sizeof name, "tavelor-wine-%08zx", std::hash<std::string>{}(prefix) & 0xFFFFFFFFu);
  return name;
}

bool EnterPrivateNetwork(const std::string& name, bool fresh, std::string* why) {
  if (geteuid() != 0) {
    *why = "the Wine tests need root: they run in a network namespace of their own, where port "
           "9696 cannot be taken by anything else";
    return false;
  }
  const std::string path = "/run/netns/" + name;
  if (fresh) RemovePrivateNetwork(name);
  if (access(path.c_str(), F_OK) != 0 && Run({"ip", "netns", "add", name}, Ms(10000)).exitCode != 0) {
    *why = "'ip netns add " + name + "' failed (is iproute2 installed?)";
    return false;
  }
  if (Run({"ip", "-n", name, "link", "set", "lo", "up"}, Ms(10000)).exitCode != 0) {
    *why = "the loopback of the network namespace " + name + " cannot be brought up";
    return false;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const bool entered = fd >= 0 && setns(fd, CLONE_NEWNET) == 0;
  if (fd >= 0) close(fd);
  if (!entered) *why = "cannot enter the network namespace " + name + ": " + std::strerror(errno);
  return entered;
}

void RemovePrivateNetwork(const std::string& name) {
  if (access(("/run/netns/" + name).c_str(), F_OK) == 0) Run({"ip", "netns", "delete", name}, Ms(10000));
}

bool WineInstalled() { return Run({"wine", "--version"}, Ms(30000)).exitCode == 0; }

bool PreparePrefix(const std::string& prefix, std::string* why) {
  const std::string nullDriver = "\"Graphics\"=\"null\"";
  if (!FileContains(prefix + "/user.reg", nullDriver)) {
    // The first start creates the prefix; the registry reaches user.reg when the server ends.
    const RunResult added = Run({"wine", "reg", "add", "HKCU\\Software\\Wine\\Drivers", "/v",
                                 "Graphics", "/d", "null", "/f"},
                                Ms(300000));
    if (added.exitCode != 0) {
      *why = "creating the Wine prefix " + prefix + " failed (exit " +
             std::to_string(added.exitCode) + ")";
      return false;
    }
    Run({"wineserver", "-w"}, Ms(120000));
    if (!FileContains(prefix + "/user.reg", nullDriver)) {
      *why = "the null graphics driver is not set in " + prefix + "/user.reg";
      return false;
    }
  }
  // One server for the whole run; it ends by itself a minute after the last program. (It
  // answers an error when one is running already, which is as good.)
  Run({"wineserver", "-p60"}, Ms(30000));
  return true;
}

void StopWine() { Run({"wineserver", "-k"}, Ms(30000)); }

PortBlocker::PortBlocker(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  // SO_REUSEADDR only steps over connections still in TIME_WAIT; a listener keeps the port.
  const int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 1) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

PortBlocker::~PortBlocker() {
  if (fd_ >= 0) close(fd_);
}

bool WaitPortFree(int port, Ms timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (PortBlocker(port).Ok()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Ms(200));
  }
}

std::map<std::string, std::string> KeyValues(const std::string& text) {
  std::map<std::string, std::string> values;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

}  // namespace tavelor::wine
