#include "app/globals.h"

namespace tavelor {

std::string AppVersion = "2.02A";
std::string AppFolder;
bool DebugEnabled = false;
int SpeedRefMode = 1;
int PfdRefreshCount = 0;
int FgpRefreshCount = 0;

void SetStartGlobals(const std::string& appFolder) {
  AppVersion = "2.02A";
  AppFolder = appFolder;
  DebugEnabled = false;
  SpeedRefMode = 1;
  PfdRefreshCount = 0;
  FgpRefreshCount = 0;
}

}  // namespace tavelor
