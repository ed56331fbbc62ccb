// The dispatcher: one received text in, at most one answer out.
#pragma once

#include <optional>
#include <string>

namespace tavelor {

// Handles one received text: logs the debug line, runs the matching action and returns what
// goes back to the client (nothing for a command). Errors of the handler propagate as
// RequestError; the caller logs them and the client gets no answer.
std::optional<std::string> ServeRequest(const std::string& received);

}  // namespace tavelor
