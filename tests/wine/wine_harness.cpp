#include "wine_harness.h"

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
#include <fstream>
#include <sstream>
#include <thread>

namespace tavelor::wine {

namespace {

using Clock = std::chrono::steady_clock;

std::string gStderrLog = "/dev/null";  // where the children's standard error goes

int MillisLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// fork + exec with standard output on a pipe (returned in *out), the rest redirected.
pid_t Spawn(const std::vector<std::string>& argv, int* out,
            const std::vector<std::string>& env = {}) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return -1;
  }
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int err = open(gStderrLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(in, 0);
    dup2(pipeFds[1], 1);
    dup2(err >= 0 ? err : in, 2);
    for (const std::string& setting : env) {
      const size_t eq = setting.find('=');
      if (eq != std::string::npos) setenv(setting.substr(0, eq).c_str(), setting.c_str() + eq + 1, 1);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(pipeFds[1]);
  fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
  *out = pipeFds[0];
  return pid;
}

// Reads what is there without waiting; false at end of file or error.
bool Drain(int fd, std::string* into) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into->append(buffer, static_cast<size_t>(n));
      continue;
    }
    return n < 0 && (errno == EAGAIN || errno == EINTR);
  }
}

int ExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

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

RunResult Run(const std::vector<std::string>& argv, Ms timeout) {
  RunResult result;
  int out = -1;
  const pid_t pid = Spawn(argv, &out);
  if (pid < 0) return result;
  const auto deadline = Clock::now() + timeout;
  int status = 0;
  for (;;) {
    Drain(out, &result.out);
    // Done when the program has ended: a process it started may hold the pipe open for longer.
    if (waitpid(pid, &status, WNOHANG) == pid) {
      Drain(out, &result.out);
      result.exitCode = ExitCode(status);
      break;
    }
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    pollfd p{out, POLLIN, 0};
    poll(&p, 1, 20);
  }
  close(out);
  return result;
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

void Process::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  Kill();
  lines_.clear();
  partial_.clear();
  status_ = -1;
  pid_ = Spawn(argv, &out_, env);
}

void Process::Pump(int waitMs) {
  if (out_ < 0) return;
  pollfd p{out_, POLLIN, 0};
  poll(&p, 1, waitMs);
  const bool open = Drain(out_, &partial_);
  size_t start = 0;
  for (size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = partial_.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(line);
  }
  partial_.erase(0, start);
  if (!open) {
    close(out_);
    out_ = -1;
  }
}

bool Process::WaitForLine(const std::string& prefix, Ms timeout, std::string* line) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    for (const std::string& l : lines_) {
      if (l.rfind(prefix, 0) == 0) {
        if (line) *line = l;
        return true;
      }
    }
    if (Clock::now() >= deadline || out_ < 0) return false;
    Pump(std::min(MillisLeft(deadline), 100));
  }
}

int Process::WaitExit(Ms timeout) {
  if (pid_ <= 0) return status_;
  const auto deadline = Clock::now() + timeout;
  int status = 0;
  for (;;) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = ExitCode(status);
      pid_ = -1;
      return status_;
    }
    if (Clock::now() >= deadline) return -1;
    Pump(20);
  }
}

void Process::Kill() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (out_ >= 0) close(out_);
  out_ = -1;
}

bool Client::Connect(int port, Ms timeout) {
  Close();
  const auto deadline = Clock::now() + timeout;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (;;) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      fcntl(fd, F_SETFL, O_NONBLOCK);
      fd_ = fd;
      return true;
    }
    if (fd >= 0) close(fd);
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Ms(100));
  }
}

bool Client::Send(const std::string& bytes) {
  size_t sent = 0;
  const auto deadline = Clock::now() + Ms(5000);
  while (fd_ >= 0 && sent < bytes.size()) {
    const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR) && Clock::now() < deadline) {
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, 50);
    } else {
      return false;
    }
  }
  return fd_ >= 0;
}

std::string Client::ReadUntil(const std::string& end, Ms timeout) {
  std::string text;
  const auto deadline = Clock::now() + timeout;
  while (fd_ >= 0) {
    if (text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0)
      break;
    const int left = MillisLeft(deadline);
    if (left == 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) break;
    if (!Drain(fd_, &text)) break;  // closed by the peer
  }
  return text;
}

std::string Client::ReadFor(Ms wait) {
  std::string text;
  const auto deadline = Clock::now() + wait;
  while (fd_ >= 0) {
    const int left = MillisLeft(deadline);
    if (left == 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) break;
    if (!Drain(fd_, &text)) break;
  }
  return text;
}

bool Client::WaitClosedByPeer(Ms timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string ignored;
  while (fd_ >= 0) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, MillisLeft(deadline)) <= 0) return false;
    if (!Drain(fd_, &ignored)) return true;
  }
  return false;
}

void Client::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

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
