// What every request is handed: the link to the simulator, the log, the program's folder and
// the values a request may change. The program (TfMain) owns one for all its clients, since
// these values outlive a request and are shared by every panel; a test builds its own.
#pragma once

#include <string>
#include <utility>

#include "core/log.h"
#include "simlink/ipc_client.h"
#include "text/code_page.h"

namespace tavelor {

inline constexpr int kStartSpeedRefMode = 1;  // Mach

struct RequestState {
  explicit RequestState(IpcClient& link, LogSink log = {}) : link(link), log(std::move(log)) {}

  IpcClient& link;  // the simulator link every exchange goes through
  LogSink log;      // where LogLine and LogError write
  TimeOfDayClock clock = LocalTimeOfDay;  // the time the debug lines show
  std::string AppFolder;  // the flight plan's folder and separator: the program's, or the user's own
  bool MakePlanFolder = false;  // the user's own, made by the first plan when it is missing
  // The host's 8-bit code page to UTF-8, for flight plans: Windows-1252 unless the shell says.
  CodePageConverter codePageToUtf8 = Windows1252ToUtf8;
  bool DebugEnabled = false;  // adds a line per request and a block per reply to the log
  int SpeedRefMode = kStartSpeedRefMode;  // 1: the speed re-send uses Mach, else airspeed
  int PfdRefreshCount = 0;  // PFD replies since its last speed re-send
  int FgpRefreshCount = 0;  // FGP replies since its last speed re-send
};

}  // namespace tavelor
