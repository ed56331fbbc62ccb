#include "probe/probe_options.h"

#include <cerrno>
#include <cstdlib>

#include "probe/probe_codes.h"

namespace tavelor::probe {

const char* const kProbeUsage =
    "Usage: tavelor-probe [options] REQUEST...\n"
    "       tavelor-probe --schema\n"
    "Sends one request to a TavelorServer and shows its answer: a panel reply as named\n"
    "fields, a version text, or that a command was sent (commands answer nothing). A command\n"
    "whose arguments the server could not read is not sent.\n"
    "\n"
    "REQUEST is the request without the two leading characters every request starts with;\n"
    "the probe puts them in front (\"xxRADI\" as in the README's examples is taken as well).\n"
    "Several words are joined with single blanks: tavelor-probe COM1 118.50 121.50\n"
    "\n"
    "  --host H        server address (default 127.0.0.1)\n"
    "  --port N        server port (default 9696)\n"
    "  --watch HZ      poll a panel reply HZ times a second and mark the fields that changed\n"
    "  --count N       with --watch: stop after N polls\n"
    "  --raw           print the answer's bytes exactly as they came\n"
    "  --json          print a panel reply as named values in JSON, numbers in the units\n"
    "                  --schema gives (with --watch: one line per poll)\n"
    "  --schema        print every panel reply's fields in JSON (number, name, label, unit,\n"
    "                  width, whether the text is a number) and exit\n"
    "  --timeout S     seconds to wait for an answer (default 5)\n"
    "  --help          show this text\n"
    "\n"
    "Exit status: 0 done; 1 nothing listens, the connection failed, the answer was cut or\n"
    "missing, or the server does not know the code; 2 bad options, or a command whose\n"
    "arguments would not parse (not sent).\n";

namespace {

bool ParseNumber(const std::string& text, double low, double high, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (*end || errno != 0 || !(value >= low && value <= high)) return false;
  *out = value;
  return true;
}

bool ParseWhole(const std::string& text, long low, long high, long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end || errno != 0 || value < low || value > high) return false;
  *out = value;
  return true;
}

}  // namespace

ParsedOptions ParseProbeOptions(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  ProbeOptions& o = parsed.options;
  std::vector<std::string> words;
  bool countGiven = false;
  bool onlyWords = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyWords || arg.rfind("--", 0) != 0) {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyWords = true;
      continue;
    }
    const auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string text;
    long whole = 0;
    if (arg == "--help") {
      o.help = true;
      return parsed;
    } else if (arg == "--raw") {
      o.raw = true;
    } else if (arg == "--json") {
      o.json = true;
    } else if (arg == "--schema") {
      o.schema = true;
    } else if (arg == "--host") {
      if (!value(&text) || text.empty()) return {o, "--host needs an address"};
      o.host = text;
    } else if (arg == "--port") {
      if (!value(&text) || !ParseWhole(text, 1, 65535, &whole))
        return {o, "--port needs a port number from 1 to 65535"};
      o.port = static_cast<int>(whole);
    } else if (arg == "--watch") {
      if (!value(&text) || !ParseNumber(text, 0.01, 100, &o.watchHz))
        return {o, "--watch needs a rate from 0.01 to 100 polls a second"};
    } else if (arg == "--count") {
      if (!value(&text) || !ParseWhole(text, 1, 1000000000, &o.count))
        return {o, "--count needs a whole number of polls from 1"};
      countGiven = true;
    } else if (arg == "--timeout") {
      if (!value(&text) || !ParseNumber(text, 0.1, 3600, &o.timeoutSeconds))
        return {o, "--timeout needs a number of seconds from 0.1 to 3600"};
    } else {
      return {o, "unknown option '" + arg + "'"};
    }
  }
  if (o.schema) {
    if (!words.empty()) return {o, "--schema takes no request"};
    return parsed;
  }
  if (words.empty()) return {o, "no request given (for example: tavelor-probe RADI)"};
  for (const std::string& word : words) o.request += (o.request.empty() ? "" : " ") + word;
  if (countGiven && o.watchHz == 0) return {o, "--count goes with --watch"};
  if (o.json && o.raw) return {o, "--json and --raw do not go together"};
  const CodeInfo* info = FindCode(RequestTextOfWire(WireRequest(o.request)));
  const bool reply = info && info->kind == CodeKind::kReply;
  if (o.watchHz > 0 && !reply)
    return {o, "--watch polls a panel reply (RADI, HSI, PFD, ...); '" + o.request + "' is not one"};
  if (o.json && !reply)
    return {o, "--json shows a panel reply (RADI, HSI, PFD, ...); '" + o.request + "' is not one"};
  return parsed;
}

}  // namespace tavelor::probe
