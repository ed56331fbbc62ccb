// The request codes the server answers, in the order they are compared.
#pragma once

#include <string>
#include <vector>

namespace tavelor {

using CommandHandler = void (*)(const std::string& requestText);
using ReplyBuilder = std::string (*)();

struct DispatchEntry {
  const char* code;         // three or four letters, compared byte for byte and by length
  CommandHandler command;   // set for a cockpit command: answers nothing
  ReplyBuilder reply;       // set for a panel reply: its ReplyLine is sent
  const char* versionText;  // set for a version code: the text and CR LF are sent
};

const std::vector<DispatchEntry>& DispatchTable();

}  // namespace tavelor
