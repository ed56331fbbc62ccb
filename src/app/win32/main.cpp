// TavelorServer.exe: the server as a Windows program. One thread: the message loop delivers the
// event loop's timer and socket messages, the debug button and the window's close.
// The link's headers come before <windows.h>, whose macros would rename two of the
// transport's operations (AddAtom, SendMessageTimeout) in this file only.
#include "app/client_options.h"
#include "app/tf_main.h"
#include "app/win32/main_form.h"
#include "server/win32/async_select_loop.h"
#include "simlink/win32/win32_transport.h"
#include "text/code_page.h"

#include <winsock2.h>
#include <windows.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Flight plans arrive in the machine's own 8-bit code page.
std::string SystemCodePageToUtf8(const std::string& text) {
  if (text.empty() || text.size() > INT_MAX / 4) return text;
  const int size = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), size, NULL, 0);
  if (wideLength <= 0) return text;
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], wideLength);
  const int utf8Length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, NULL, 0, NULL, NULL);
  if (utf8Length <= 0) return text;
  std::string utf8(static_cast<size_t>(utf8Length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], utf8Length, NULL, NULL);
  return utf8;
}

// The executable's folder, ending with the path separator.
std::string ExecutableFolder() {
  std::string path(MAX_PATH, '\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = GetModuleFileNameA(NULL, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return ".\\";
    if (length < path.size()) {
      path.resize(length);
      return path.substr(0, path.find_last_of("\\/") + 1);
    }
    path.resize(path.size() * 2);  // truncated: a longer path than MAX_PATH
  }
  return ".\\";
}

// Sockets have no per-process limit on Windows: clients are bounded as on a Linux machine under
// its usual limit of 1024 open files.
constexpr uint64_t kDescriptorBudget = 1024;

struct Options {
  tavelor::ClientLimits limits;
  std::string record;  // --record FILE; empty: none
};

// --max-clients N, --idle-timeout SECONDS and --record FILE from the command line, as the C
// runtime splits it (so that a quoted path may hold blanks); false with the reason.
bool ReadOptions(Options* options, std::string* problem) {
  const std::vector<std::string> args(__argv, __argv + __argc);
  options->limits.maxClients = tavelor::MaxClientsFor(kDescriptorBudget, false);
  for (size_t i = 1; i < args.size(); ++i) {
    const tavelor::ClientOption read = tavelor::ReadClientOption(args, &i, &options->limits, problem);
    if (read == tavelor::ClientOption::kBad) return false;
    if (read == tavelor::ClientOption::kTaken) continue;
    if (args[i] == "--record" && i + 1 < args.size() && !args[i + 1].empty()) {
      options->record = args[++i];
      continue;
    }
    *problem = args[i] == "--record" ? "--record needs a file or folder name"
                                     : "unknown option '" + args[i] + "'; the options are --max-clients N, "
                                       "--idle-timeout SECONDS and --record FILE";
    return false;
  }
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  Options options;
  std::string problem;
  if (!ReadOptions(&options, &problem)) {
    MessageBoxA(NULL, problem.c_str(), tavelor::Win32MainForm::kApplicationTitle,
                MB_ICONERROR | MB_OK);
    return 2;
  }
  WSADATA sockets;
  if (WSAStartup(MAKEWORD(1, 1), &sockets) != 0) {
    MessageBoxA(NULL, "Windows sockets cannot be started.", tavelor::Win32MainForm::kApplicationTitle,
                MB_ICONERROR | MB_OK);
    return 1;
  }
  tavelor::SetCodePageConverter(SystemCodePageToUtf8);
  tavelor::Win32Transport transport;

  int exitCode = 1;
  {
    tavelor::AsyncSelectLoop loop(instance);
    // The form is TfMain's view, and its events (the loop's among them) run TfMain's logic:
    // the form is made first and told about TfMain before its window exists.
    tavelor::Win32MainForm form(instance);
    tavelor::TfMain main(&form, &loop, &transport);
    main.SetClientLimits(options.limits);
    form.Attach(&main, &loop);
    if (!options.record.empty() && !main.Record(options.record, &problem)) {
      MessageBoxA(NULL, problem.c_str(), tavelor::Win32MainForm::kApplicationTitle, MB_ICONERROR | MB_OK);
    } else if (loop.Open() && form.Create()) {
      form.FormCreate(ExecutableFolder());  // while the window is made, before it shows
      form.Show(showCommand);
      exitCode = form.Run();
    } else {
      MessageBoxA(NULL, "The main window cannot be created.",
                  tavelor::Win32MainForm::kApplicationTitle, MB_ICONERROR | MB_OK);
    }
  }
  WSACleanup();
  return exitCode;
}
