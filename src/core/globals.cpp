#include "core/globals.h"

namespace tavelor {

namespace {
constexpr const char* kAppVersion = "2.02A";
constexpr int kStartSpeedRefMode = 1;  // Mach
}  // namespace

std::string AppVersion = kAppVersion;
std::string AppFolder;
bool DebugEnabled = false;
int SpeedRefMode = kStartSpeedRefMode;
int PfdRefreshCount = 0;
int FgpRefreshCount = 0;

void SetStartGlobals(const std::string& appFolder) {
  AppVersion = kAppVersion;
  AppFolder = appFolder;
  DebugEnabled = false;
  SpeedRefMode = kStartSpeedRefMode;
  PfdRefreshCount = 0;
  FgpRefreshCount = 0;
}

}  // namespace tavelor
