// Errors that end one request: bad numbers, real-arithmetic faults, file and socket failures.
#pragma once

#include <stdexcept>
#include <string>

namespace tavelor {

// Raised anywhere above the simulator link; the request that raised it is dropped, the client
// gets no answer and its connection stays open. The message is the text the error box shows.
// what() is a C string and would end at the first zero byte a client sent; Message() keeps it.
class RequestError : public std::runtime_error {
 public:
  explicit RequestError(const std::string& message)
      : std::runtime_error(message), message_(message) {}
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// The text the error display shows: the message, with "." appended when its last character
// sorts after "." (so the integer error always ends with a full stop).
std::string ErrorDisplayText(const std::string& message);

}  // namespace tavelor
