// The dispatcher: one received text in, at most one answer out.
#pragma once

#include <optional>
#include <string>

#include "core/request_state.h"

namespace tavelor {

// Handles one received text with the program's state: logs the debug line, runs the matching
// action and returns what goes back to the client (nothing for a command). Errors of the
// handler propagate as RequestError; the caller logs them and the client gets no answer.
std::optional<std::string> ServeRequest(RequestState& state, const std::string& received);

}  // namespace tavelor
