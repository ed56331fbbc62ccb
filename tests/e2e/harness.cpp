#include "e2e/harness.h"

#include <filesystem>
#include <stdexcept>

namespace tavelor::e2e {

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
