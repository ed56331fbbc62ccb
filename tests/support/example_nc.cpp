// `nc`, as the reference's examples use it (`printf 'xxRADI' | nc -q1 localhost 9696`,
// `echo journal | nc -q1 localhost 9697`), for the test that runs them: the ports 9696 and 9697
// stand for the test server's ($TAVELOR_EXAMPLE_PANEL_PORT, $TAVELOR_EXAMPLE_CONTROL_PORT),
// and instead of lingering a second it ends once the answer is complete, which it knows from
// the protocol: a panel reply or version text ends with CR LF; a command answers nothing,
// which a version query on a second connection shows (one thread serves both, in the order the
// bytes came); a control command answers a line, `journal` and `help` that many more.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "core/request_codes.h"
#include "support/process.h"

using tavelor::testing::Client;
using tavelor::testing::SimControl;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds kAnswerTimeout(10000);

int PortFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : 0;
}

int Panel(int port, const std::string& request) {
  Client client;
  if (!client.Connect(port) || !client.Send(request)) return 1;
  const std::string text = request.size() > 2 ? request.substr(2) : "";
  const tavelor::RequestCode* code = tavelor::MatchRequestCode(text);
  std::string answer;
  if (code && code->kind == tavelor::CodeKind::kCommand) {
    Client barrier;
    if (!barrier.Connect(port) || !barrier.Send("xxV100") || !barrier.ReadLine(kAnswerTimeout).ends_with("\r\n"))
      return 1;
    answer = client.ReadFor(milliseconds(20));  // written before the barrier's answer, if at all
  } else {
    answer = client.ReadLine(kAnswerTimeout);
  }
  std::cout << answer;
  return 0;
}

int Control(int port, const std::string& input) {
  SimControl control;
  if (!control.Connect(port)) return 1;
  size_t at = 0;
  while (at < input.size()) {
    size_t end = input.find('\n', at);
    if (end == std::string::npos) end = input.size();
    for (const std::string& line : control.Answer(input.substr(at, end - at))) std::cout << line << "\n";
    at = end + 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 2 && args[0] == "-q") args.erase(args.begin(), args.begin() + 2);
  if (args.size() >= 1 && args[0].rfind("-q", 0) == 0) args.erase(args.begin());
  if (args.size() != 2) {
    std::cerr << "example nc: usage: nc [-q SECONDS] HOST PORT\n";
    return 2;
  }
  const std::string input((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  if (args[1] == "9696") return Panel(PortFromEnvironment("TAVELOR_EXAMPLE_PANEL_PORT"), input);
  if (args[1] == "9697") return Control(PortFromEnvironment("TAVELOR_EXAMPLE_CONTROL_PORT"), input);
  std::cerr << "example nc: only the ports 9696 and 9697 of the examples\n";
  return 2;
}
