#pragma once
#include <windows.h>

// One run of the bootstrapper: everything WinMain does after restricting the
// DLL search. Returns the process exit code:
//   0   the payload's events all ran
//   -1  the mutex could not be created, the payload could not be loaded, or
//       the walk failed for any reason other than FAILONMUTEX
//   N   the status number of the FAILONMUTEX event that stopped the walk
int RunBootstrapper(HINSTANCE module, const char* commandLineTail);
