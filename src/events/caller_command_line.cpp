#include "events/caller_command_line.h"

#include <cstdlib>
#include <cstring>

#include "base/report.h"
#include "state/process_state.h"

bool ComposeCallerCommandLine(const char* current, const char* programPath,
                              CallerCommandLine& buffer) {
  const size_t currentLength = strlen(current);
  const size_t separator = currentLength > 0 ? 1 : 0;
  const size_t pathLength = strlen(programPath);
  const size_t total = currentLength + separator + (sizeof kCallerMarker - 1) + pathLength + 1;
  if (total >= kCallerCommandLineSize) return false;
  char* out = buffer;
  memcpy(out, current, currentLength);
  out += currentLength;
  if (separator) *out++ = ' ';
  memcpy(out, kCallerMarker, sizeof kCallerMarker - 1);
  out += sizeof kCallerMarker - 1;
  memcpy(out, programPath, pathLength);
  out += pathLength;
  *out++ = '"';
  *out = '\0';
  return true;
}

bool ExtendCallerCommandLine(const char* programPath) {
  auto* buffer = static_cast<CallerCommandLine*>(calloc(1, sizeof(CallerCommandLine)));
  if (!buffer) {
    ReportError("ExtendCallerCommandLine - out of memory for %u bytes",
                static_cast<unsigned>(kCallerCommandLineSize));
    return false;
  }
  if (!ComposeCallerCommandLine(gCallerCmdLine, programPath, *buffer)) {
    free(buffer);
    ReportError("Caller command line too long to add %s%s\"", kCallerMarker, programPath);
    return false;
  }
  // The previous text is not released: it is the runtime's command line or an
  // earlier extension that someone may still point at.
  gCallerCmdLine = *buffer;
  return true;
}
