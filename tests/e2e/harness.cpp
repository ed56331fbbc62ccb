#include "e2e/harness.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

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
    buffered_ += client_.ReadUntil("\n", milliseconds(Left(deadline)));
    if (buffered_.find('\n') == std::string::npos && Left(deadline) == 0) return "ERR no answer";
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

std::vector<std::string> SimControl::JournalOf(size_t count, milliseconds timeout) {
  std::vector<std::string> lines;
  const auto deadline = Clock::now() + timeout;
  while (lines.size() < count) {
    for (std::string& line : Journal()) lines.push_back(std::move(line));
    if (lines.size() >= count || Left(deadline) == 0) break;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return lines;
}

long ExchangeOf(const std::string& line) { return std::stol(line.substr(0, line.find(' '))); }
std::string RecordOf(const std::string& line) { return line.substr(line.find(' ') + 1); }

bool AnsweredNothingBefore(Client& client) { return client.Ask("xxV100") == "2.01b\r\n"; }

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
  std::vector<std::string> argv = {TAVELOR_SERVER_BIN, "--connect-now", "--bind", "127.0.0.1",
                                   "--port", std::to_string(serverPort)};
  argv.insert(argv.end(), extra.begin(), extra.end());
  server.Start(argv, {ipc.Env()});
}

void Stack::StartBoth(const std::vector<std::string>& serverExtra) {
  StartSim();
  StartServer(serverExtra);
  if (!server.WaitForLine("- IP: ")) throw std::runtime_error("tavelor-server did not listen");
}

Client Stack::Connect() {
  Client client;
  if (!client.Connect(serverPort)) throw std::runtime_error("cannot connect to the server");
  return client;
}

}  // namespace tavelor::e2e
