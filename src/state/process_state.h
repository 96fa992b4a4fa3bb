#pragma once
#include <cstddef>

#include "base/string_ops.h"


// Process-wide state of a run: written by the driver and the events on the
// main thread, read by the walk's events. The services below get what they
// work on as parameters instead. (The debug switch is the report's own:
// SetDebugSwitch in base/report.h.)

extern unsigned char gBrowserSearch;  // the maker's search was the default at start-up
extern const char* gCallerCmdLine;  // command-line tail, possibly extended with /CALLER
extern PathBuffer gInstallPath;      // install directory with a trailing backslash, or empty
extern int gLastError;              // exit code stored by FAILONMUTEX
extern bool gExitCodeFromEvent;     // true once FAILONMUTEX stored gLastError

// Puts every variable, and the report's debug switch, back to its start-up
// value (tests only).
void ResetProcessState();
