#include "support/process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace tavelor::testing {

namespace {

using Clock = std::chrono::steady_clock;

int Left(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// Reads what is there without waiting (the descriptor is non-blocking); false at end of file
// or on an error.
bool Drain(int fd, std::string* into) {
  char buffer[65536];
  while (true) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into->append(buffer, static_cast<size_t>(n));
      continue;
    }
    return n < 0 && (errno == EAGAIN || errno == EINTR);
  }
}

int ExitStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

bool Contains(const std::string& line, const std::string& text) {
  return line.find(text) != std::string::npos;
}

}  // namespace

int FreePort() {
  // The system may give a port it gave a moment ago, free again until its taker binds it: a
  // test's panel and control ports were once one. A port is handed out once in a process.
  static std::mutex mutex;
  static std::set<int> given;
  std::lock_guard lock(mutex);
  int port = 0;
  for (int tries = 0; tries < 100 && (port == 0 || given.count(port)); ++tries) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    port = ntohs(address.sin_port);
  }
  given.insert(port);
  return port;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---- Process ----

void Process::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                    const std::string& errorLog) {
  Kill();
  pid_ = -1;
  status_ = -1;
  output_.clear();
  partial_.clear();
  lines_.clear();
  int pipeFds[2];
  // Close-on-exec: no child inherits the read end of another child's output.
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, STDIN_FILENO);
    dup2(pipeFds[1], STDOUT_FILENO);
    if (!errorLog.empty()) {
      const int err = open(errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      dup2(err >= 0 ? err : in, STDERR_FILENO);
    }
    for (const std::string& setting : env) putenv(const_cast<char*>(setting.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(pipeFds[1]);
  if (pid_ < 0) {
    close(pipeFds[0]);
    return;
  }
  out_ = pipeFds[0];
  fcntl(out_, F_SETFL, O_NONBLOCK);
}

void Process::Pump(int waitMs) {
  if (out_ < 0) {
    // Nothing more will be read; still wait, so that callers' loops do not spin.
    std::this_thread::sleep_for(milliseconds(waitMs));
    return;
  }
  pollfd p{out_, POLLIN, 0};
  poll(&p, 1, waitMs);
  std::string fresh;
  const bool open = Drain(out_, &fresh);
  output_ += fresh;
  partial_ += fresh;
  const auto add = [this](std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(std::move(line));
  };
  size_t start = 0;
  for (size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1)
    add(partial_.substr(start, end - start));
  partial_.erase(0, start);
  if (!open) {
    if (!partial_.empty()) add(std::move(partial_));  // the last line may lack its end
    partial_.clear();
    close(out_);
    out_ = -1;
  }
}

bool Process::Running() {
  if (pid_ <= 0 || status_ >= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = ExitStatus(status);
    return false;
  }
  return true;
}

bool Process::WaitForLine(const std::string& text, milliseconds timeout, std::string* line) {
  const auto deadline = Clock::now() + timeout;
  bool last = false;
  for (size_t checked = 0;;) {
    for (; checked < lines_.size(); ++checked) {
      if (Contains(lines_[checked], text)) {
        if (line) *line = lines_[checked];
        return true;
      }
    }
    if (last) return false;
    // Once the child has ended (or the time is up), read what it left and look one more time.
    last = Left(deadline) == 0 || out_ < 0 || !Running();
    Pump(last ? 0 : std::min(Left(deadline), 50));
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
  return static_cast<int>(std::count_if(lines_.begin(), lines_.end(),
                                        [&](const std::string& line) { return Contains(line, text); }));
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

void Process::Kill() {
  if (pid_ > 0 && status_ < 0) {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    status_ = ExitStatus(status);
  }
  if (out_ >= 0) close(out_);
  out_ = -1;
}

// ---- Client ----

Client& Client::operator=(Client&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool Client::Connect(int port, milliseconds timeout) {
  Close();
  const auto deadline = Clock::now() + timeout;
  const sockaddr_in address = Loopback(port);
  while (true) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      fcntl(fd, F_SETFL, O_NONBLOCK);
      fd_ = fd;
      return true;
    }
    if (fd >= 0) close(fd);
    if (Left(deadline) == 0) return false;
    std::this_thread::sleep_for(milliseconds(50));
  }
}

bool Client::Send(const std::string& bytes) {
  const auto deadline = Clock::now() + milliseconds(5000);
  size_t sent = 0;
  while (fd_ >= 0 && sent < bytes.size()) {
    const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR) && Left(deadline) > 0) {
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, 50);
    } else {
      return false;
    }
  }
  return fd_ >= 0;
}

std::string Client::ReadUntil(const std::string& end, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string text;
  while (fd_ >= 0 && (end.empty() || !text.ends_with(end))) {
    const int left = Left(deadline);
    if (left == 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) break;
    if (!Drain(fd_, &text)) break;  // closed by the peer
  }
  return text;
}

bool Client::WaitClosedByPeer(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string ignored;
  while (fd_ >= 0) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, Left(deadline)) <= 0) return false;
    if (!Drain(fd_, &ignored)) return true;
  }
  return false;
}

void Client::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

// ---- SimControl ----

std::string SimControl::ReadOneLine() {
  const auto deadline = Clock::now() + milliseconds(10000);
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

std::vector<std::string> SimControl::Answer(const std::string& line) {
  std::vector<std::string> lines = {Command(line)};
  const std::string word = line.substr(0, line.find(' '));
  if ((word == "journal" || word == "help") && lines[0].rfind("OK ", 0) == 0) {
    const long count = std::strtol(lines[0].c_str() + 3, nullptr, 10);
    for (long i = 0; i < count; ++i) lines.push_back(ReadOneLine());
  }
  return lines;
}

std::vector<std::string> SimControl::Journal() {
  const std::string head = Command("journal");
  std::vector<std::string> lines;
  if (head.rfind("OK ", 0) != 0) return lines;
  const int count = std::atoi(head.c_str() + 3);
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

}  // namespace tavelor::testing
