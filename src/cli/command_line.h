// Every program's command line, read by CLI11. Each option is one line of the program's
// options, its value checked and taken by the line that declares it:
//
//   CommandLine line("tavelor-sim", "The stand-in simulator.");
//   line.Flag("--fly", &options.fly, "fly a circuit instead of standing parked");
//   line.Port("--control", "PORT", &options.controlPort, 0, "control port (default 9697)");
//   line.Value("--class", "NAME", "UIPCMAIN or FS98MAIN", TakeClass, "window class to serve");
//   if (const int status = line.Parse(argc, argv, std::cout, std::cerr); status >= 0) return
//   status;
//
// --help and --version come with every program, the version being the project's, the same for
// all. A value missing or bad and an option unknown are said one way in every program, which then
// ends with status 2:
//
//   tavelor-sim: --control needs a port number from 0 to 65535, not '70000'
//   Try 'tavelor-sim --help'.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace tavelor::cli {

// Takes an option's text into the program's options; false when it is not a good value.
using Take = std::function<bool(const std::string& text)>;

// A whole decimal number from `lowest` to `highest`, digits only (a sign for a negative one).
bool ReadWhole(const std::string& text, long long lowest, long long highest, long long* value);
// A real number from `lowest` to `highest`, the whole text.
bool ReadReal(const std::string& text, double lowest, double highest, double* value);

// The version --version gives: the project's, the same for every program.
const char* ProgramVersion();

// "HOST:PORT", "[v6]:PORT", or a host alone (which leaves *port as it is).
bool ReadHostPort(const std::string& text, std::string* host, int* port);

class CommandLine {
 public:
  // `helpFlags` are the names that ask for the help text.
  CommandLine(std::string program, std::string description,
              const std::string& helpFlags = "-h,--help");

  CLI::Option* Flag(const std::string& name, bool* on, const std::string& help);
  // An option with a value; `needs` says what a good one is ("a port number from 1 to 65535").
  CLI::Option* Value(const std::string& name, const std::string& valueName,
                     const std::string& needs, Take take, const std::string& help);
  CLI::Option* Port(const std::string& name, const std::string& valueName, int* port, int lowest,
                    const std::string& help);
  template <typename Integer>
  CLI::Option* Whole(const std::string& name, const std::string& valueName, Integer* value,
                     long long lowest, long long highest, const std::string& needs,
                     const std::string& help) {
    return Value(
        name, valueName, needs,
        [=](const std::string& text) {
          long long number = 0;
          if (!ReadWhole(text, lowest, highest, &number)) return false;
          *value = static_cast<Integer>(number);
          return true;
        },
        help);
  }
  CLI::Option* Real(const std::string& name, const std::string& valueName, double* value,
                    double lowest, double highest, const std::string& needs,
                    const std::string& help);
  // Any text but an empty one.
  CLI::Option* Text(const std::string& name, const std::string& valueName, std::string* value,
                    const std::string& needs, const std::string& help);

  // For what the helpers above do not cover: positional words, a footer.
  CLI::App& App() { return app_; }

  // Reads the arguments. -1 to go on; else the status to end the program with: 0 after the
  // help text or the version (on `out`), 2 after saying what is wrong (on `err`).
  int Parse(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
  // The same for the arguments without the program's name.
  int Parse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
  // A command line whose options do not go together: said as a bad value is. Returns 2.
  int Refuse(const std::string& problem, std::ostream& err) const;

 private:
  std::string program_;
  CLI::App app_;
  bool version_ = false;
  std::map<std::string, std::string> needs_;  // an option's name -> what its value must be
};

}  // namespace tavelor::cli
