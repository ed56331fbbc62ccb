#include "server/socket_errors.h"

namespace tavelor {

std::string SocketErrorText(const std::string& systemText, int number, const std::string& api) {
  return "Windows socket error: " + systemText + " (" + std::to_string(number) + "), on API '" +
         api + "'";
}

std::string AsyncSocketErrorText(int number) {
  return "Asynchronous socket error " + std::to_string(number);
}

}  // namespace tavelor
