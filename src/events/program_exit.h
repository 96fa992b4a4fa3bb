#pragma once
#include <windows.h>

// Waits without a time limit for a program that RUN or URLRUN started, reads
// its exit code and closes its process handle. False, after reporting
// "WaitForSingleObject failed", "GetExitCodeProcess failed" or
// "CloseHandle() failed, GetLastError()=<error>", when a step fails; the
// handle is closed on every path but the last.
bool WaitForProgramExit(HANDLE process, DWORD* exitCode);
