// Process-wide values, read by every handler; set once when the main window is created.
#pragma once

#include <string>

namespace tavelor {

extern std::string AppVersion;  // "2.02A": window caption and first log line
extern std::string AppFolder;   // the executable's folder, ending with the path separator
extern bool DebugEnabled;       // adds a line per request and a block per reply to the log
extern int SpeedRefMode;        // 1: the periodic speed re-send uses Mach, else airspeed
extern int PfdRefreshCount;     // PFD replies since its last speed re-send
extern int FgpRefreshCount;     // FGP replies since its last speed re-send

struct VersionText {
  const char* code;
  const char* text;
};
// The answers to the version codes, fixed in the program.
inline constexpr VersionText kVersionTexts[] = {
    {"V100", "2.01b"}, {"V172", "2.02a"}, {"V177", "2.02a"}, {"VMAP", "2.01a"}, {"VPFD", "2.01a"},
};

// Puts every global back to its start value; appFolder must end with the path separator.
void SetStartGlobals(const std::string& appFolder);

}  // namespace tavelor
