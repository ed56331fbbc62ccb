#include "app/client_options.h"

#include <cstdlib>

namespace tavelor {

namespace {

// A whole decimal number from `least` to `most`, nothing else.
bool WholeNumber(const std::string& text, unsigned long least, unsigned long most,
                 unsigned long* value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *value = std::strtoul(text.c_str(), nullptr, 10);
  return *value >= least && *value <= most;
}

}  // namespace

ClientOption ReadClientOption(const std::vector<std::string>& args, size_t* i, ClientLimits* limits,
                              std::string* error) {
  const std::string& name = args[*i];
  const bool maxClients = name == "--max-clients";
  if (!maxClients && name != "--idle-timeout") return ClientOption::kNotOne;
  const bool hasValue = *i + 1 < args.size();
  const std::string value = hasValue ? args[*i + 1] : "";
  unsigned long number = 0;
  if (maxClients && hasValue && WholeNumber(value, 1, kMostClientsOption, &number)) {
    limits->maxClients = number;
  } else if (!maxClients && hasValue && WholeNumber(value, 0, kLongestIdleTimeout, &number)) {
    limits->idleTimeout = std::chrono::seconds(number);
  } else {
    *error = maxClients ? "--max-clients needs a number from 1 to " + std::to_string(kMostClientsOption)
                        : "--idle-timeout needs whole seconds from 0 (never) to " +
                              std::to_string(kLongestIdleTimeout);
    return ClientOption::kBad;
  }
  *i += 1;
  return ClientOption::kTaken;
}

}  // namespace tavelor
