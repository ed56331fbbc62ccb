#include "text/request_error.h"

namespace tavelor {

std::string ErrorDisplayText(const std::string& message) {
  // Compared as unsigned bytes so characters above 127 also count as sorting after ".".
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.')) {
    return message + ".";
  }
  return message;
}

}  // namespace tavelor
