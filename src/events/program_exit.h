#pragma once
#include <windows.h>

#include "base/unique_handle.h"
#include "events/actions.h"

class TempProgram;

// Waits without a time limit for a program that RUN or URLRUN started, reads
// its exit code and closes its process handle, on every path. False, after
// reporting the step that failed (the wait, the exit code, the close).
// The run log has the process's id, the wait and the exit code.
bool WaitForProgramExit(UniqueHandle process, DWORD* exitCode);

// The id of the process behind a handle, for the run log; 0 when the system
// cannot tell.
unsigned long ProcessIdOf(HANDLE process);
// The run log's line for a started program that ended, waited for since
// startedMs (RunLogMs).
void LogProcessExit(unsigned long id, DWORD exitCode, unsigned long startedMs);

// The last start of RUN's and URLRUN's program: starts the held program
// through the shell in its own directory, lets go of the hold once the shell
// has started it (or refused to), waits for it, calls afterEnd (when given)
// once the wait is over whatever it found, judges the exit code and then
// requires the install path. 0 when the program exited with 0 and the
// install path was read; -1 after reporting the failure otherwise.
int RunHeldProgram(const EventContext& event, TempProgram& program, const char* parameters,
                   void (*afterEnd)(const char* path));
