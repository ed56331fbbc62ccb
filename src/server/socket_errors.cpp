#include "server/socket_errors.h"

namespace tavelor {

std::string SocketFailureText(const SocketFailure& failure) {
  if (!failure.api) return "Asynchronous socket error " + std::to_string(failure.number);
  return "Windows socket error: " + failure.systemText + " (" + std::to_string(failure.number) +
         "), on API '" + failure.api + "'";
}

}  // namespace tavelor
