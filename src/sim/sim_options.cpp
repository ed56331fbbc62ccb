#include "sim/sim_options.h"

#include <charconv>
#include <iostream>
#include <string_view>

#include "cli/command_line.h"
#include "sim/flightgear/property_map.h"

namespace tavelor::sim {

namespace {

// Eight hexadecimal digits at most, "0x" in front or not.
bool ReadHex32(std::string_view text, uint32_t* value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  if (text.empty() || text.size() > 8) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value, 16);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

void AddSourceOptions(cli::CommandLine& line, SimOptions* options, const std::string& prefix) {
  line.Text("--replay", "FILE", &options->replay, "a recording's file name",
            prefix + "replay a recording made with --record instead");
  line.Flag("--loop", &options->loop, "with --replay: start the recording over at its end");
  line.Real("--speed", "FACTOR", &options->speed, kSlowestReplay, kFastestReplay, "a factor from 0.01 to 100",
            "with --replay: replay FACTOR times as fast (0.01 to 100, default 1)");
  line.Value(
      "--flightgear", "HOST:PORT", "HOST:PORT, FlightGear's HTTP server (fgfs --httpd=PORT), such as 127.0.0.1:5400",
      [options](const std::string& text) {
        options->flightgearPort = 0;
        return cli::ReadHostPort(text, &options->flightgearHost, &options->flightgearPort) &&
               options->flightgearPort != 0;
      },
      prefix + "follow a running FlightGear instead, through its HTTP server\n(fgfs --httpd=PORT)");
  line.Text("--flightgear-map", "FILE", &options->flightgearMap, "a map file's name",
            "with --flightgear: add the rows of FILE to the built-in table of\nproperties, or put them in the place of its rows");
}

int CheckSourceOptions(const SimOptions& options, const cli::CommandLine& line) {
  const bool replay = !options.replay.empty(), flightgear = !options.flightgearHost.empty();
  if (replay && options.fly) return line.Refuse("--fly and --replay exclude each other", std::cerr);
  if (flightgear && (replay || options.fly)) {
    return line.Refuse(std::string("--flightgear and ") + (replay ? "--replay" : "--fly") + " exclude each other", std::cerr);
  }
  if (options.replay.empty() && (options.loop || options.speed != 1))
    return line.Refuse("--loop and --speed go with --replay", std::cerr);
  if (options.flightgearHost.empty() && !options.flightgearMap.empty())
    return line.Refuse("--flightgear-map goes with --flightgear", std::cerr);
  return -1;
}

int ParseSimOptions(int argc, char** argv, SimOptions* options) {
  cli::CommandLine line("tavelor-sim",
                        "The stand-in simulator: a window of the simulator's class that answers\n"
                        "the link, and a control channel for tests and panel authors.");
  const auto windowClass = [options](const std::string& text) {
    if (text != "UIPCMAIN" && text != "FS98MAIN") return false;
    options->windowClass = text;
    return true;
  };
  line.Value("--class", "UIPCMAIN|FS98MAIN", "UIPCMAIN or FS98MAIN", windowClass,
             "window class to serve (default UIPCMAIN)");
  const std::string hex = "a 32-bit hexadecimal value";
  line.Value("--fsuipc-version", "HEX", hex,
             [options](const std::string& t) { return ReadHex32(t, &options->peer.fsuipcVersion); },
             "value at offset 0x3304 (default 40200000)");
  line.Value("--sim-version", "HEX", hex,
             [options](const std::string& t) { return ReadHex32(t, &options->peer.simVersion); },
             "value at offset 0x3308 (default FADE0008)");
  line.Port("--control", "PORT", &options->controlPort, 0,
            "control port on 127.0.0.1, 0 for any free port (default 9697)");
  line.Flag("--fly", &options->fly,
            "fly a circuit instead of standing parked (the control command\n"
            "'fly on|off' does the same later)");
  AddSourceOptions(line, options);
  bool table = false;
  line.Flag("--flightgear-table", &table,
            "print the table of FlightGear's properties in effect (the built-in one,\n"
            "with --flightgear-map FILE's rows) as a map file, and exit");
  if (const int status = line.Parse(argc, argv, std::cout, std::cerr); status >= 0) return status;
  if (table) {
    flightgear::PropertyMap map;
    if (const std::string problem = flightgear::BuildPropertyMap(options->flightgearMap, &map); !problem.empty()) {
      std::cerr << "tavelor-sim: " << problem << "\n";
      return 1;
    }
    std::cout << flightgear::MapText(map);
    return 0;
  }
  return CheckSourceOptions(*options, line);
}

}  // namespace tavelor::sim
