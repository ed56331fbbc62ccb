#include "cli/command_line.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ostream>

#include "program_version.h"  // made by CMake from project(VERSION)

namespace tavelor::cli {

bool ReadWhole(const std::string& text, long long lowest, long long highest, long long* value) {
  long long number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc() || stop != end || number < lowest || number > highest)
    return false;
  *value = number;
  return true;
}

bool ReadReal(const std::string& text, double lowest, double highest, double* value) {
  char* end = nullptr;
  errno = 0;
  const double number = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || errno != 0 || !(number >= lowest && number <= highest)) return false;
  *value = number;
  return true;
}

const char* ProgramVersion() { return kProgramVersion; }

bool ReadHostPort(const std::string& text, std::string* host, int* port) {
  std::string name = text;
  std::string digits;
  bool hasPort = false;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    name = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
    hasPort = !rest.empty();
    if (hasPort) digits = rest.substr(1);
  } else if (const size_t colon = text.find(':'); colon != std::string::npos) {
    if (text.find(':', colon + 1) != std::string::npos) return false;  // IPv6 needs brackets
    name = text.substr(0, colon);
    digits = text.substr(colon + 1);
    hasPort = true;
  }
  long long number = 0;
  if (name.empty() || (hasPort && !ReadWhole(digits, 1, 65535, &number))) return false;
  if (hasPort) *port = static_cast<int>(number);
  *host = name;
  return true;
}

CommandLine::CommandLine(std::string program, std::string description, const std::string& helpFlags)
    : program_(std::move(program)), app_(std::move(description), program_) {
  app_.set_help_flag(helpFlags, "show this text and exit");
  app_.add_flag("--version", version_, "show the version and exit");
  // As every program always took them: an option given twice counts as given last.
  app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CLI::Option* CommandLine::Flag(const std::string& name, bool* on, const std::string& help) {
  return app_.add_flag(name, *on, help);
}

CLI::Option* CommandLine::Value(const std::string& name, const std::string& valueName,
                                const std::string& needs, Take take, const std::string& help) {
  needs_[name] = needs;
  const auto check = [name, needs, take](const CLI::results_t& texts) {
    // One text, or every one of an option that may be repeated.
    for (const std::string& text : texts) {
      if (!take(text))
        throw CLI::ValidationError(name + " needs " + needs + ", not '" + text + "'");
    }
    return true;
  };
  return app_.add_option(name, check, help)->type_name(valueName);
}

CLI::Option* CommandLine::Port(const std::string& name, const std::string& valueName, int* port,
                               int lowest, const std::string& help) {
  return Whole(name, valueName, port, lowest, 65535,
               "a port number from " + std::to_string(lowest) + " to 65535", help);
}

CLI::Option* CommandLine::Real(const std::string& name, const std::string& valueName, double* value,
                               double lowest, double highest, const std::string& needs,
                               const std::string& help) {
  return Value(
      name, valueName, needs,
      [=](const std::string& text) { return ReadReal(text, lowest, highest, value); }, help);
}

CLI::Option* CommandLine::Text(const std::string& name, const std::string& valueName,
                               std::string* value, const std::string& needs,
                               const std::string& help) {
  return Value(
      name, valueName, needs,
      [=](const std::string& text) {
        if (text.empty()) return false;
        *value = text;
        return true;
      },
      help);
}

int CommandLine::Parse(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  return Parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), out, err);
}

int CommandLine::Parse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 takes them
  try {
    app_.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app_.help();
    return 0;
  } catch (const CLI::ExtrasError&) {
    return Refuse("unknown option '" + app_.remaining().front() + "'", err);
  } catch (const CLI::ArgumentMismatch& e) {
    // An option without its value: CLI11 names it before a colon.
    const std::string what = e.what();
    const auto needs = needs_.find(what.substr(0, what.find(':')));
    return Refuse(needs != needs_.end() ? needs->first + " needs " + needs->second : what, err);
  } catch (const CLI::ParseError& e) {
    return Refuse(e.what(), err);
  }
  if (version_) {
    out << program_ << " " << kProgramVersion << "\n";
    return 0;
  }
  return -1;
}

int CommandLine::Refuse(const std::string& problem, std::ostream& err) const {
  err << program_ << ": " << problem << "\nTry '" << program_ << " --help'.\n";
  return 2;
}

}  // namespace tavelor::cli
