// TavelorServer.exe: the server as a Windows program. One thread: the message loop delivers the
// event loop's timer and socket messages, the debug button and the window's close.
// The link's headers come before <windows.h>, whose macros would rename two of the
// transport's operations (AddAtom, SendMessageTimeout) in this file only.
#include "app/client_options.h"
#include "app/plan_folder.h"
#include "app/tf_main.h"
#include "app/win32/main_form.h"
#include "server/win32/async_select_loop.h"
#include "simlink/win32/win32_transport.h"

#include <winsock2.h>
#include <windows.h>

#include "cli/win32/executable_folder.h"  // after winsock2.h, which must come before windows.h
#include "cli/win32/window_program_output.h"

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

// Sockets have no per-process limit on Windows: clients are bounded as on a Linux machine under
// its usual limit of 1024 open files.
constexpr uint64_t kDescriptorBudget = 1024;


struct Options {
  tavelor::ClientLimits limits;
  std::string record;  // --record FILE; empty: none
};

// --max-clients N, --idle-timeout SECONDS and --record FILE from the command line, as the C
// runtime splits it (so that a quoted path may hold blanks): -1 to go on, else the status to
// end with (0 after --help or --version).
int ReadOptions(Options* options) {
  const std::vector<std::string> args(__argv + (__argc > 0 ? 1 : 0), __argv + __argc);
  tavelor::ClientLimits* limits = &options->limits;
  limits->maxClients = tavelor::MaxClientsFor(kDescriptorBudget, false);
  tavelor::cli::CommandLine line("TavelorServer.exe",
                                 "Serves cockpit-panel clients on TCP port 9696 once the simulator "
                                 "link is up.");
  tavelor::AddClientOptions(line, limits, std::to_string(limits->maxClients));
  line.Text("--record", "FILE", &options->record, "a file or folder name",
            "record every exchange with the simulator to FILE, or to a new file in the folder FILE");
  return tavelor::cli::ParseTellingUser(line, args, tavelor::Win32MainForm::kApplicationTitle);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  Options options;
  if (const int status = ReadOptions(&options); status >= 0) return status;
  WSADATA sockets;
  if (WSAStartup(MAKEWORD(1, 1), &sockets) != 0) {
    MessageBoxA(NULL, "Windows sockets cannot be started.", tavelor::Win32MainForm::kApplicationTitle,
                MB_ICONERROR | MB_OK);
    return 1;
  }
  tavelor::Win32Transport transport;

  int exitCode = 1;
  {
    tavelor::AsyncSelectLoop loop(instance);
    // The form is TfMain's view, and its events run TfMain's logic: the form is made first and
    // told about TfMain before its window exists. The loop's events go through the form, whose
    // components' handlers keep their names.
    tavelor::Win32MainForm form(instance);
    tavelor::TfMain main(&form, &loop, &transport);
    main.SetClientLimits(options.limits);
    main.State().codePageToUtf8 = SystemCodePageToUtf8;
    form.Attach(&main);
    loop.SetEvents(&form);
    std::string problem;
    if (!options.record.empty() && !main.Record(options.record, &problem)) {
      tavelor::cli::TellUser(problem, tavelor::Win32MainForm::kApplicationTitle, MB_ICONERROR);
    } else if (loop.Open() && form.Create()) {
      // While the window is made, before it shows.
      form.FormCreate(tavelor::PlanFolder(tavelor::cli::ExecutableFolder()));
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
