// The request codes the server answers: the registry's rows (core/request_codes.inc), each with
// its action.
#pragma once

#include <string>
#include <vector>

#include "core/request_codes.h"
#include "core/request_state.h"

namespace tavelor {

// Every handler is handed the program's state: the link it talks to, the log and the values a
// request may change. A command is handed its arguments, read from its row's columns.
using CommandHandler = void (*)(RequestState& state, const CommandArguments& args);
using ReplyBuilder = std::string (*)(RequestState& state);

struct DispatchEntry {
  const char* code;         // three or four letters, compared byte for byte and by length
  CommandHandler command;   // set for a cockpit command: answers nothing
  ReplyBuilder reply;       // set for a panel reply: its ReplyLine is sent
  const char* versionText;  // set for a version code: the text and CR LF are sent
  const RequestCode* row;   // the registry's row
};

// In the registry's order: entry i is RequestCodes()[i]'s.
const std::vector<DispatchEntry>& DispatchTable();

}  // namespace tavelor
