#include <cstdio>

#include "base/report.h"

// The portable core has no message box; the debug switch only matters on Windows.
void ShowErrorMessage(const char*) {}

void WriteStandardOutput(const char* text, size_t length) {
  fwrite(text, 1, length, stdout);
  fflush(stdout);
}
