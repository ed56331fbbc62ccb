#include "sim/sim_options.h"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace tavelor::sim {

namespace {

constexpr const char* kUsage =
    "usage: tavelor-sim [--class UIPCMAIN|FS98MAIN] [--fsuipc-version HEX] [--sim-version HEX]\n"
    "                   [--control PORT] [--fly]\n"
    "  --class           window class to serve (default UIPCMAIN)\n"
    "  --fsuipc-version  value at offset 0x3304 (default 40200000)\n"
    "  --sim-version     value at offset 0x3308 (default FADE0008)\n"
    "  --control         control port on 127.0.0.1, 0 for any free port (default 9697)\n"
    "  --fly             fly a circuit instead of standing parked (the control command\n"
    "                    'fly on|off' does the same later)\n";

std::optional<uint32_t> ParseHex32(std::string s) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
  if (s.empty() || s.size() > 8) return std::nullopt;
  uint32_t v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return std::nullopt;
    v = v << 4 | static_cast<uint32_t>(d);
  }
  return v;
}

std::optional<int> ParsePort(const std::string& s) {
  if (s.empty() || s.size() > 5) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (v > 65535) return std::nullopt;
  return v;
}

int Usage(const std::string& problem) {
  std::fprintf(stderr, "tavelor-sim: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

}  // namespace

int ParseSimOptions(int argc, char** argv, SimOptions* options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--fly") {
      options->fly = true;
      continue;
    }
    std::string value;
    const size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
    } else if (arg == "--class" || arg == "--fsuipc-version" || arg == "--sim-version" ||
               arg == "--control") {
      if (i + 1 >= argc) return Usage(arg + " needs a value");
      value = argv[++i];
    } else {
      return Usage("unknown option " + arg);
    }
    if (arg == "--class") {
      if (value != "UIPCMAIN" && value != "FS98MAIN")
        return Usage("--class must be UIPCMAIN or FS98MAIN, not '" + value + "'");
      options->windowClass = value;
    } else if (arg == "--fsuipc-version" || arg == "--sim-version") {
      const auto v = ParseHex32(value);
      if (!v) return Usage(arg + " needs a 32-bit hexadecimal value, not '" + value + "'");
      (arg == "--fsuipc-version" ? options->peer.fsuipcVersion : options->peer.simVersion) = *v;
    } else if (arg == "--control") {
      const auto port = ParsePort(value);
      if (!port) return Usage("--control needs a port 0 to 65535, not '" + value + "'");
      options->controlPort = *port;
    } else {
      return Usage("unknown option " + arg);
    }
  }
  return -1;
}

}  // namespace tavelor::sim
