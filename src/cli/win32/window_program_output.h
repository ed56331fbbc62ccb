// What a Windows program without a console says to whoever started it: on its standard output
// when it has one (a console, a pipe, Wine's terminal), else in a box. Help and the version are
// information; a bad option, or anything that stops the program, is an error.
#pragma once

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace tavelor::cli {

inline void TellUser(const std::string& text, const char* title, UINT icon) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  if (icon == MB_ICONINFORMATION && out != NULL && out != INVALID_HANDLE_VALUE &&
      WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, NULL)) {
    return;
  }
  MessageBoxA(NULL, text.c_str(), title, icon | MB_OK);
}

// Parses `args` on `line`; what the parse prints (help, the version, a bad option) is told the
// user. Returns the parse's status: -1 to go on, else the exit code.
inline int ParseTellingUser(CommandLine& line, const std::vector<std::string>& args, const char* title) {
  std::ostringstream out, err;
  const int status = line.Parse(args, out, err);
  if (status == 0) TellUser(out.str(), title, MB_ICONINFORMATION);
  if (status > 0) TellUser(err.str(), title, MB_ICONERROR);
  return status;
}

}  // namespace tavelor::cli
