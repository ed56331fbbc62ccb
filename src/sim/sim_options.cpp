#include "sim/sim_options.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace tavelor::sim {

namespace {

constexpr const char* kUsage =
    "usage: tavelor-sim [--class UIPCMAIN|FS98MAIN] [--fsuipc-version HEX] [--sim-version HEX]\n"
    "                   [--control PORT] [--fly | --replay FILE [--loop] [--speed FACTOR]]\n"
    "  --class           window class to serve (default UIPCMAIN)\n"
    "  --fsuipc-version  value at offset 0x3304 (default 40200000)\n"
    "  --sim-version     value at offset 0x3308 (default FADE0008)\n"
    "  --control         control port on 127.0.0.1, 0 for any free port (default 9697)\n"
    "  --fly             fly a circuit instead of standing parked (the control command\n"
    "                    'fly on|off' does the same later)\n"
    "  --replay          serve a recording made with tavelor-server --record instead\n"
    "  --loop            start the recording over at its end\n"
    "  --speed           replay FACTOR times as fast (0.01 to 100, default 1)\n";

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

std::optional<double> ParseReplaySpeed(const std::string& s) {
  if (s.empty() || s.size() > 12 || s.find_first_not_of("0123456789.") != std::string::npos ||
      s.find('.') != s.rfind('.') || s.front() == '.' || s.back() == '.')
    return std::nullopt;
  const double factor = std::strtod(s.c_str(), nullptr);
  if (factor < kSlowestReplay || factor > kFastestReplay) return std::nullopt;
  return factor;
}

int CheckReplayOptions(const SimOptions& options, int (*usage)(const std::string& problem)) {
  if (!options.replay.empty() && options.fly) return usage("--fly and --replay exclude each other");
  if (options.replay.empty() && (options.loop || options.speed != 1))
    return usage("--loop and --speed go with --replay");
  return -1;
}

int ParseSimOptions(int argc, char** argv, SimOptions* options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--fly" || arg == "--loop") {
      (arg == "--fly" ? options->fly : options->loop) = true;
      continue;
    }
    std::string value;
    const size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
    } else if (arg == "--class" || arg == "--fsuipc-version" || arg == "--sim-version" ||
               arg == "--control" || arg == "--replay" || arg == "--speed") {
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
    } else if (arg == "--replay") {
      if (value.empty()) return Usage("--replay needs a recording's file name");
      options->replay = value;
    } else if (arg == "--speed") {
      const auto factor = ParseReplaySpeed(value);
      if (!factor) return Usage("--speed needs a factor from 0.01 to 100, not '" + value + "'");
      options->speed = *factor;
    } else {
      return Usage("unknown option " + arg);
    }
  }
  return CheckReplayOptions(*options, Usage);
}

}  // namespace tavelor::sim
