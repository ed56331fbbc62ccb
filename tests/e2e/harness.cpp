#include "e2e/harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

// ---- Process ----

Process::~Process() {
  if (pid_ > 0 && status_ < 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) close(out_);
}

void Process::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe");
  pid_ = fork();
  if (pid_ == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(pipeFds[1]);
  out_ = pipeFds[0];
  fcntl(out_, F_SETFL, O_NONBLOCK);
  status_ = -1;
}

void Process::Pump(int timeoutMs) {
  if (out_ < 0) return;
  pollfd p{out_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return;
  char buffer[4096];
  while (true) {
    ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) break;
    partial_.append(buffer, static_cast<size_t>(n));
  }
  size_t end;
  while ((end = partial_.find('\n')) != std::string::npos) {
    lines_.push_back(partial_.substr(0, end));
    partial_.erase(0, end + 1);
  }
}

bool Process::Running() {
  if (pid_ <= 0 || status_ >= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

bool Process::WaitForLine(const std::string& text, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  size_t checked = 0;
  while (true) {
    for (; checked < lines_.size(); ++checked)
      if (lines_[checked].find(text) != std::string::npos) return true;
    if (Left(deadline) == 0) return false;
    if (!Running()) {
      Pump(0);
      for (; checked < lines_.size(); ++checked)
        if (lines_[checked].find(text) != std::string::npos) return true;
      return false;
    }
    Pump(std::min(Left(deadline), 50));
  }
}

bool Process::WaitForCount(const std::string& text, int count, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (CountLines(text) < count) {
    if (Left(deadline) == 0 || !Running()) return CountLines(text) >= count;
    Pump(std::min(Left(deadline), 50));
  }
  return true;
}

int Process::CountLines(const std::string& text) {
  Pump(0);
  int count = 0;
  for (const std::string& line : lines_)
    if (line.find(text) != std::string::npos) ++count;
  return count;
}

std::vector<std::string> Process::Lines() {
  Pump(0);
  return lines_;
}

void Process::Signal(int signal) {
  if (pid_ > 0 && status_ < 0) kill(pid_, signal);
}

int Process::Wait(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Running()) {
    if (Left(deadline) == 0) return -1;
    Pump(10);
  }
  Pump(0);
  return status_;
}

// ---- Client ----

Client::~Client() { Close(); }

Client::Client(Client&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

bool Client::Connect(int port, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (true) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return true;
    Close();
    if (Left(deadline) == 0) return false;
    std::this_thread::sleep_for(milliseconds(50));
  }
}

void Client::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

std::string Client::ReadLine(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string text;
  while (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, Left(deadline)) <= 0) break;
    char buffer[4096];
    // One byte at a time past what we need would be slow; a line never spans two replies
    // here because every test waits for each answer before asking again.
    ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

std::string Client::ReadFor(milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  std::string text;
  while (Left(deadline) > 0) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, Left(deadline)) <= 0) break;
    char buffer[4096];
    ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

void Client::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

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
