#include "e2e/harness.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace tavelor::e2e {

namespace {

using Clock = std::chrono::steady_clock;

int Left(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

// ---- SimControl ----

std::string SimControl::ReadOneLine() {
  const auto deadline = Clock::now() + milliseconds(5000);
  size_t end;
  while ((end = buffered_.find('\n')) == std::string::npos) {
    std::string more = client_.ReadFor(milliseconds(std::max(1, std::min(Left(deadline), 100))));
    buffered_ += more;
    if (Left(deadline) == 0) return "ERR no answer";
  }
  std::string line = buffered_.substr(0, end);
  buffered_.erase(0, end + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string SimControl::Command(const std::string& line) {
  client_.Send(line + "\n");
  return ReadOneLine();
}

std::vector<std::string> SimControl::Journal() {
  std::string head = Command("journal");
  std::vector<std::string> lines;
  if (head.rfind("OK ", 0) != 0) return lines;
  int count = std::atoi(head.c_str() + 3);
  for (int i = 0; i < count; ++i) lines.push_back(ReadOneLine());
  return lines;
}

// ---- IpcFolder ----

IpcFolder::IpcFolder() {
  char pattern[] = "/tmp/tavelor-e2e-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

IpcFolder::~IpcFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

// ---- Stack ----

void Stack::StartSim(const std::vector<std::string>& extra) {
  std::vector<std::string> argv = {TAVELOR_SIM_BIN, "--control", std::to_string(controlPort)};
  argv.insert(argv.end(), extra.begin(), extra.end());
  sim.Start(argv, {ipc.Env()});
  if (!sim.WaitForLine("control")) throw std::runtime_error("tavelor-sim did not start");
  if (!control.Connect(controlPort)) throw std::runtime_error("no control channel");
}

void Stack::StartServer(const std::vector<std::string>& extra) {
  std::vector<std::string> argv = {TAVELOR_SERVER_BIN, "--bind", "127.0.0.1", "--port",
                                   std::to_string(serverPort)};
  argv.insert(argv.end(), extra.begin(), extra.end());
  server.Start(argv, {ipc.Env()});
}

void Stack::StartBoth() {
  StartSim();
  StartServer();
  if (!server.WaitForLine("- IP: ")) throw std::runtime_error("tavelor-server did not listen");
}

Client Stack::Connect() {
  Client client;
  if (!client.Connect(serverPort)) throw std::runtime_error("cannot connect to the server");
  return client;
}

}  // namespace tavelor::e2e
