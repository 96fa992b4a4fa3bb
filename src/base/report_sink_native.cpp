#include <cstdio>

#include "base/report.h"
#include "base/run_log.h"

// The portable core has no message box; the debug switch only matters on Windows.
void ShowErrorMessage(const char*) {}

void WriteStandardOutput(const char* text, size_t length) {
  fwrite(text, 1, length, stdout);
  fflush(stdout);
}

// Nor a run log: the portable core's log calls cost nothing here.
void StartRunClock() {}
unsigned long RunLogMs() { return 0; }
bool OpenRunLog(const char*) { return false; }
void CloseRunLog() {}
void LogLine(const char*, ...) {}
void LogText(const char*, bool) {}
