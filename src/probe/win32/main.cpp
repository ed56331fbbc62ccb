// tavelor-probe on Windows: the portable probe on its Asio connection, its output in binary mode
// and a console asked to understand the escapes that redraw --watch's table.
#include "probe/net/asio_platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

class WindowsPlatform : public tavelor::probe::AsioPlatform {
 public:
  bool OutputIsTerminal() override {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(out, &mode)) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
           SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
};

}  // namespace

int main(int argc, char** argv) {
  // --raw prints the answer's bytes as they came: no CR added in front of its LF.
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args(argv + 1, argv + argc);
  WindowsPlatform platform;
  const int status = tavelor::probe::RunProbe(args, platform, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
