// tavelor-launch.exe: the Start menu's "with browser panels" shortcut. Starts, from the
// launcher's folder, the stand-in tavelor-sim.exe --fly when asked (--sim, to try everything
// without a simulator), then TavelorServer.exe, then, once the server listens (or after a while:
// it listens only once it has found its simulator), tavelor-web.exe, each helper in a console
// window of its own; when the server's window is closed, it ends the others. They are also held in a job object
// that ends them when it closes, so they go with the launcher however it ends.
#include "cli/command_line.h"
#include "cli/win32/executable_folder.h"
#include "cli/win32/window_program_output.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* kTitle = "TavelorServer";


// --sim, --help and --version, as the C runtime splits the command line: -1 to go on, else the
// status to end with.
int ReadOptions(bool* standIn) {
  const std::vector<std::string> args(__argv + (__argc > 0 ? 1 : 0), __argv + __argc);
  tavelor::cli::CommandLine line("tavelor-launch.exe",
                                 "Starts tavelor-web.exe (with --sim the stand-in too), then "
                                 "TavelorServer.exe, and ends them when the server's window closes.");
  line.Flag("--sim", standIn, "start the stand-in simulator too, flying its circuit");
  return tavelor::cli::ParseTellingUser(line, args, kTitle);
}

std::string LastErrorText() {
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 NULL, GetLastError(), 0, reinterpret_cast<char*>(&text), 0, NULL);
  std::string message = text ? text : "unknown error";
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

// Starts `program` from `folder`, suspended until it is in `job` (when one is given), so that
// not even its first instruction runs outside it. NULL, after saying why, when it cannot start.
HANDLE Start(const std::string& folder, const char* program, const char* arguments, HANDLE job) {
  const std::string path = folder + program;
  std::vector<char> commandLine;
  const std::string text = "\"" + path + "\" " + arguments;
  commandLine.assign(text.begin(), text.end());
  commandLine.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const DWORD flags = job ? CREATE_NEW_CONSOLE | CREATE_SUSPENDED : 0;
  if (!CreateProcessA(path.c_str(), commandLine.data(), NULL, NULL, FALSE, flags, NULL,
                      folder.c_str(), &startup, &process)) {
    const std::string message = path + " cannot be started: " + LastErrorText();
    MessageBoxA(NULL, message.c_str(), kTitle, MB_ICONERROR | MB_OK);
    return NULL;
  }
  if (job) {
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

// Waits until something listens on 127.0.0.1:9696, `process` ends or `ms` pass.
void WaitForListener(HANDLE process, DWORD ms) {
  WSADATA sockets;
  if (WSAStartup(MAKEWORD(2, 2), &sockets) != 0) return;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(9696);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (DWORD waited = 0; waited < ms; waited += 250) {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const bool listening = probe != INVALID_SOCKET &&
                           connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (probe != INVALID_SOCKET) closesocket(probe);
    if (listening || WaitForSingleObject(process, 250) == WAIT_OBJECT_0) break;
  }
  WSACleanup();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  bool standIn = false;
  if (const int status = ReadOptions(&standIn); status >= 0) return status;
  const std::string folder = tavelor::cli::ExecutableFolder();

  HANDLE helpers = CreateJobObjectA(NULL, NULL);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!helpers || !SetInformationJobObject(helpers, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    MessageBoxA(NULL, ("The helper programs cannot be tied to this one: " + LastErrorText()).c_str(),
                kTitle, MB_ICONERROR | MB_OK);
    return 1;
  }
  // In order, so that tavelor-web finds the server listening rather than saying it waits: the
  // stand-in, the server, then tavelor-web once the server listens (with the stand-in, within a
  // second or two; with a simulator not started yet, tavelor-web starts after 15 s and waits).
  std::vector<HANDLE> started;
  if (standIn) started.push_back(Start(folder, "tavelor-sim.exe", "--fly", helpers));
  HANDLE server = Start(folder, "TavelorServer.exe", "", NULL);
  if (server) WaitForListener(server, 15000);
  started.push_back(Start(folder, "tavelor-web.exe", "", helpers));

  DWORD exitCode = 1;
  if (server) {
    WaitForSingleObject(server, INFINITE);
    GetExitCodeProcess(server, &exitCode);
    CloseHandle(server);
  }
  // Each by its handle too: where the launcher already runs in a job of another's (Windows 7
  // allows no job inside a job), the helpers could not join this one.
  for (HANDLE process : started) {
    if (!process) continue;
    TerminateProcess(process, 0);
    CloseHandle(process);
  }
  CloseHandle(helpers);
  return static_cast<int>(exitCode);
}
