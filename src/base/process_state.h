#pragma once
#include <cstddef>

#include "base/string_ops.h"

#ifdef _WIN32
#include <windows.h>
#endif

// Process-wide state of a run. Written on the main thread only; the status
// window and download threads only read the module handle and the debug switch.

#ifdef _WIN32
extern HINSTANCE gModule;           // the program's own module
#endif
extern unsigned char gDebug;        // 1: failure messages are shown in message boxes
extern unsigned char gBrowserSearch;  // the maker's search was the default at start-up
extern const char* gCallerCmdLine;  // command-line tail, possibly extended with /CALLER
extern PathBuffer gInstallPath;      // install directory with a trailing backslash, or empty
extern int gLastError;              // exit code stored by FAILONMUTEX
extern bool gExitCodeFromEvent;     // true once FAILONMUTEX stored gLastError

// Puts every variable back to its start-up value (tests only).
void ResetProcessState();
