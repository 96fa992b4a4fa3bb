#pragma once

// Terminates (exit code 1) every other process whose executable name contains
// one of names (case-sensitive substring; the list ends with an empty entry).
// A process matching several names is terminated once per match; one that
// cannot be opened for termination is left running; nothing waits for the
// terminated processes to end. Returns 0 when the process list was walked, -1
// when the process-list functions are unavailable or the list cannot be read.
int KillProcessesByName(const char* const* names);

// KillProcessesByName for the installed application's nine executable names.
void KillLumenoProcesses();
