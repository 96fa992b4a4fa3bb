#include "base/report.h"

#include <cstdio>
#include <cstring>

#include "base/run_log.h"

namespace {
ReportObserver gReportObserver = nullptr;
ReportObserver gPrintObserver = nullptr;
bool gDebugSwitch = false;
}  // namespace

bool FormatBounded(char* buffer, size_t size, const char* format, va_list args) {
#ifdef _WIN32
  // msvcrt's _vsnprintf neither terminates a cut text nor reports its length:
  // it gives -1 for a text longer than its room.
  const int length = _vsnprintf(buffer, size - 1, format, args);
  buffer[size - 1] = '\0';
  return length >= 0;
#else
  const int length = vsnprintf(buffer, size, format, args);
  return length >= 0 && static_cast<size_t>(length) < size;
#endif
}

void FormatBoundedArgs(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatBounded(buffer, size, format, args);
  va_end(args);
}

void ReportError(const char* format, ...) {
  if (!format) return;
  char message[kReportBufferSize];
  va_list args;
  va_start(args, format);
  const bool whole = FormatBounded(message, sizeof message, format, args);
  va_end(args);
  if (gReportObserver) gReportObserver(message);
  // With or without the debug switch, and before a message box can hold the run.
  LogText(message, !whole);
  if (gDebugSwitch) ShowErrorMessage(message);
}

void PrintText(const char* format, ...) {
  char line[kPrintBufferSize];
  va_list args;
  va_start(args, format);
  FormatBounded(line, sizeof line, format, args);
  va_end(args);
  if (gPrintObserver) gPrintObserver(line);
  WriteStandardOutput(line, strlen(line));
}

void SetDebugSwitch(bool on) { gDebugSwitch = on; }
void SetReportObserver(ReportObserver observer) { gReportObserver = observer; }
void SetPrintObserver(ReportObserver observer) { gPrintObserver = observer; }
