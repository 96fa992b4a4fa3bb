#include "files/exe_file_delete.h"

#include <windows.h>

#include "driver/report.h"

namespace {
constexpr unsigned kRetryPauseMs = 1000;
}  // namespace

void EXEFileDelete(const char* path) {
  if (!path || !*path) return;
  if (DeleteFileA(path)) return;
  Sleep(kRetryPauseMs);
  if (DeleteFileA(path)) return;
  const DWORD error = GetLastError();
  ReportError("Unable to EXEFileDelete %s, GetLastError()=%d", path, static_cast<int>(error));
}
