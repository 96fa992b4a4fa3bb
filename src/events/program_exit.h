#pragma once
#include <windows.h>

// Waits without a time limit for a program that RUN or URLRUN started, reads
// its exit code and closes its process handle. False, after reporting
// "WaitForSingleObject failed", "GetExitCodeProcess failed" or
// "CloseHandle() failed, GetLastError()=<error>", when a step fails; the
// handle is closed on every path but the last.
// The run log has the process's id, the wait and the exit code.
bool WaitForProgramExit(HANDLE process, DWORD* exitCode);

// The id of the process behind a handle, for the run log; 0 when the system
// cannot tell.
unsigned long ProcessIdOf(HANDLE process);
// The run log's line for a started program that ended, waited for since
// startedMs (RunLogMs).
void LogProcessExit(unsigned long id, DWORD exitCode, unsigned long startedMs);
