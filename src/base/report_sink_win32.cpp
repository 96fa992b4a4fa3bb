#include <windows.h>

#include "base/report.h"

void ShowErrorMessage(const char* text) { MessageBoxA(nullptr, text, "ERROR", MB_OK); }

void WriteStandardOutput(const char* text, size_t length) {
  // A GUI program usually has no standard output; the line is written only
  // when the starter gave the process one.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(out, text, static_cast<DWORD>(length), &written, nullptr);
}
