// tavelor-probe on Linux: the portable probe on its Asio connection, told whether its output is
// a terminal.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "probe/net/asio_platform.h"

namespace {

class PosixPlatform : public tavelor::probe::AsioPlatform {
 public:
  bool OutputIsTerminal() override { return isatty(STDOUT_FILENO) == 1; }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  PosixPlatform platform;
  return tavelor::probe::RunProbe(args, platform, std::cout, std::cerr);
}
